// A list box bound to a dialog item: the few messages the program sends it.
#pragma once
#include "fw/CWnd.h"

class CListBox : public CWnd {
public:
    int GetCount() const { return Send(LB_GETCOUNT, 0, 0); }
    int GetCurSel() const { return Send(LB_GETCURSEL, 0, 0); }
    int SetCurSel(int index) { return Send(LB_SETCURSEL, static_cast<WPARAM>(index), 0); }
    int AddString(const char* text) { return Send(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)); }
    int InsertString(int index, const char* text)
    {
        return Send(LB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text));
    }
    int DeleteString(int index) { return Send(LB_DELETESTRING, static_cast<WPARAM>(index), 0); }
    void ResetContent() { Send(LB_RESETCONTENT, 0, 0); }

    // The item's text; empty for an index outside the list.
    CString GetText(int index) const
    {
        CString text;
        const int length = Send(LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
        if (length > 0) {
            char* buffer = text.GetBufferSetLength(length);
            const int copied = Send(LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer));
            text.ReleaseBuffer(copied > 0 ? copied : 0);
        }
        return text;
    }

private:
    int Send(UINT message, WPARAM wParam, LPARAM lParam) const
    {
        return static_cast<int>(::SendMessageA(m_hWnd, message, wParam, lParam));
    }
};

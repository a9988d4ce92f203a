// The popup's item view: a read-only rich edit control that opens the shown item's link when
// clicked, or on Enter while it has the keyboard focus, and then tells its parent
// (WM_ITEM_CLICKED, sent), which reports the click and hides. Left and Right ask the parent to step
// (WM_LINK_BAR_STEP, posted) as the link bar's Previous and Next do; Tab and Esc are the
// dialog's.
//
// Screen readers read the shown item's title as the view's name, and hear a new item announced
// when it is shown while the popup is in sight.
#pragma once
#include <string>

#include "fw/CAccessibleName.h"
#include "fw/CComPtr.h"
#include "fw/CRichEditCtrl.h"
#include "fw/CString.h"
#include "fw/CUiaNotifier.h"

class CRSSEditCtrl : public CRichEditCtrl {
public:
    ~CRSSEditCtrl() override;

    // After subclassing: the view answers screen readers with its own object.
    void ExposeToScreenReaders();
    // Shows rich text whose title is given as plain text (empty for a text that is no item), and
    // the link a click opens (empty: none).
    void ShowText(const char* rtf, const std::wstring& title, const CString& link);
    // Opens the link, as a click does.
    void Open();

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    LRESULT OnGetDlgCode(WPARAM wParam, LPARAM lParam);
    bool OnKeyDown(WPARAM key);
    void DrawFocusFrame() const;
    // The background and the text in the colours the popup gives its item view.
    void ApplyColours();

    CComPtr<CAccessibleName> m_accessible;
    CString m_rtf;  // the text shown, before it takes the theme's colour
    CString m_link; // opened on a click; empty until an item is shown
    CUiaNotifier m_notifier;
};

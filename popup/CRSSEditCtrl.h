// The popup's item view: a read-only rich edit control that opens the shown item's link
// when clicked, and then tells its parent (WM_ITEM_CLICKED, sent), which reports the click.
#pragma once
#include "fw/CRichEditCtrl.h"
#include "fw/CString.h"

class CRSSEditCtrl : public CRichEditCtrl {
public:
    CString m_link;    // opened on a click; empty until an item is shown
    CString m_feedUrl; // the feed the shown item came from

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    LRESULT OnGetDlgCode(WPARAM wParam, LPARAM lParam);
    void OnLButtonDown();
};

#include "popup/CRSSEditCtrl.h"

LRESULT CRSSEditCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SETCURSOR:
        ::SetCursor(::LoadCursorA(nullptr, m_link.IsEmpty() ? IDC_ARROW : IDC_HAND));
        return TRUE;
    case WM_GETDLGCODE:
        return OnGetDlgCode(wParam, lParam);
    case WM_LBUTTONDOWN:
        // A click never places the caret, selects or takes the focus.
        OnLButtonDown();
        return 0;
    default:
        return CRichEditCtrl::WindowProc(message, wParam, lParam);
    }
}

// A multi-line rich edit asks for every key, Esc included; Esc is left to the popup, which
// hides on it, even while the focus is in the view.
LRESULT CRSSEditCtrl::OnGetDlgCode(WPARAM wParam, LPARAM lParam)
{
    LRESULT code = CRichEditCtrl::WindowProc(WM_GETDLGCODE, wParam, lParam);
    const MSG* message = reinterpret_cast<const MSG*>(lParam);
    if (message && message->message == WM_KEYDOWN && message->wParam == VK_ESCAPE)
        code &= ~(DLGC_WANTALLKEYS | DLGC_WANTMESSAGE);
    return code;
}

void CRSSEditCtrl::OnLButtonDown()
{
    if (m_link.IsEmpty())
        return;
}

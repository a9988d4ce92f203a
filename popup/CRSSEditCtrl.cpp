#include "popup/CRSSEditCtrl.h"

#include <shellapi.h>

#include "app/PopupMessages.h"
#include "popup/WebLink.h"

LRESULT CRSSEditCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SETCURSOR:
        // The hand only over a link that a click opens.
        ::SetCursor(::LoadCursorA(nullptr, IsWebLink(m_link) ? IDC_HAND : IDC_ARROW));
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

// The popup hides, the browser opens the link and the click is reported. Only web links are
// opened, and in an encoded form that the browser's command line takes as one argument; the
// report carries the link as the feed gave it.
void CRSSEditCtrl::OnLButtonDown()
{
    if (!IsWebLink(m_link))
        return;
    ::PostMessageA(::GetParent(m_hWnd), WM_CLOSE, 0, 0);
    ::ShellExecuteA(nullptr, nullptr, EncodeWebLink(m_link), nullptr, nullptr, SW_SHOW);
    ::SendMessageA(::GetParent(m_hWnd), WM_ITEM_CLICKED, 0, 0);
}

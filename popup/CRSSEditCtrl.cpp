#include "popup/CRSSEditCtrl.h"

LRESULT CRSSEditCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SETCURSOR:
        ::SetCursor(::LoadCursorA(nullptr, m_link.IsEmpty() ? IDC_ARROW : IDC_HAND));
        return TRUE;
    case WM_LBUTTONDOWN:
        // A click never places the caret, selects or takes the focus.
        OnLButtonDown();
        return 0;
    default:
        return CRichEditCtrl::WindowProc(message, wParam, lParam);
    }
}

void CRSSEditCtrl::OnLButtonDown()
{
    if (m_link.IsEmpty())
        return;
}

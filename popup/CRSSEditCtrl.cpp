#include "popup/CRSSEditCtrl.h"

#include <richedit.h>
#include <shellapi.h>

#include "fw/CDeviceContext.h"
#include "fw/CScopedHandle.h"
#include "fw/Win32Util.h"
#include "popup/CPopupTheme.h"
#include "popup/ItemNavigation.h"
#include "popup/ItemText.h"
#include "popup/PopupColours.h"
#include "popup/PopupMessages.h"
#include "popup/WebLink.h"

namespace {

// What a screen reader's default action on the view does: the view opens the item itself.
const UINT kOpenAction = WM_APP + 1;

} // namespace

CRSSEditCtrl::~CRSSEditCtrl()
{
    if (m_accessible)
        m_accessible->Disconnect();
}

void CRSSEditCtrl::ExposeToScreenReaders()
{
    m_accessible.Reset(CAccessibleName::Create(m_hWnd, L""));
    m_accessible->SetDefaultAction({L"Open", m_hWnd, kOpenAction, 0, 0});
}

void CRSSEditCtrl::ShowText(const char* rtf, const std::wstring& title, const CString& link)
{
    m_rtf = rtf;
    m_link = link;
    ApplyColours();
    if (m_accessible)
        m_accessible->SetName(title);
    if (!title.empty() && ::IsWindowVisible(::GetParent(m_hWnd)))
        m_notifier.Announce(m_hWnd, title.c_str(), CUiaNotifier::Kind::ItemAdded, L"Lullcast.Item");
}

LRESULT CRSSEditCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT answer = 0;
    if (m_accessible && m_accessible->OnControlMessage(message, wParam, lParam, answer))
        return answer;
    switch (message) {
    case WM_SETCURSOR:
        // The hand only over a link that a click opens.
        ::SetCursor(::LoadCursorA(nullptr, IsWebLink(m_link) ? IDC_HAND : IDC_ARROW));
        return TRUE;
    case WM_GETDLGCODE:
        return OnGetDlgCode(wParam, lParam);
    case WM_KEYDOWN:
        if (OnKeyDown(wParam))
            return 0;
        break;
    case WM_LBUTTONDOWN:
        // A click never places the caret, selects or takes the focus.
        Open();
        return 0;
    case WM_SYSCOLORCHANGE: {
        const LRESULT result = CRichEditCtrl::WindowProc(message, wParam, lParam);
        ApplyColours();
        return result;
    }
    case WM_PAINT: {
        const LRESULT result = CRichEditCtrl::WindowProc(message, wParam, lParam);
        if (::GetFocus() == m_hWnd && !AreFocusCuesHidden(m_hWnd))
            DrawFocusFrame();
        return result;
    }
    case WM_SETFOCUS: {
        // A read-only view has no use for a caret: a frame shows where the focus is, once the
        // keyboard is used (Tab came here).
        const LRESULT result = CRichEditCtrl::WindowProc(message, wParam, lParam);
        ::HideCaret(m_hWnd);
        if (::GetKeyState(VK_TAB) < 0)
            SetFocusCues(m_hWnd, true);
        ::InvalidateRect(m_hWnd, nullptr, TRUE);
        return result;
    }
    case WM_KILLFOCUS:
    case WM_UPDATEUISTATE:
        ::InvalidateRect(m_hWnd, nullptr, TRUE);
        break;
    case kOpenAction:
        Open();
        return 0;
    default:
        break;
    }
    return CRichEditCtrl::WindowProc(message, wParam, lParam);
}

// A multi-line rich edit asks for every key, Tab and Esc included; they are left to the popup,
// where Tab moves to the link bar and Esc hides, even while the focus is in the view.
LRESULT CRSSEditCtrl::OnGetDlgCode(WPARAM wParam, LPARAM lParam)
{
    // No DLGC_HASSETSEL: the dialog manager would select the whole text as the focus comes, and a
    // read-only view shows no selection.
    LRESULT code = CRichEditCtrl::WindowProc(WM_GETDLGCODE, wParam, lParam) & ~(DLGC_WANTTAB | DLGC_HASSETSEL);
    const MSG* message = reinterpret_cast<const MSG*>(lParam);
    if (message && message->message == WM_KEYDOWN
        && (message->wParam == VK_ESCAPE || message->wParam == VK_TAB))
        code &= ~(DLGC_WANTALLKEYS | DLGC_WANTMESSAGE | DLGC_WANTTAB);
    return code;
}

bool CRSSEditCtrl::OnKeyDown(WPARAM key)
{
    switch (key) {
    case VK_RETURN:
        Open();
        return true;
    case VK_LEFT:
    case VK_RIGHT:
        ::PostMessageA(::GetParent(m_hWnd), WM_LINK_BAR_STEP,
                       static_cast<WPARAM>(key == VK_LEFT ? LinkBarWord::Previous : LinkBarWord::Next), 0);
        return true;
    default:
        return false;
    }
}

// The parent says which colours as it does for any edit control; the rich text is shown again
// with its colour table naming the text colour.
void CRSSEditCtrl::ApplyColours()
{
    COLORREF text = kTitleRed, background = kViewWhite;
    CClientDC dc(m_hWnd);
    if (dc) {
        ::SetTextColor(dc, text);
        ::SetBkColor(dc, background);
        ::SendMessageA(::GetParent(m_hWnd), WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(HDC(dc)),
                       reinterpret_cast<LPARAM>(m_hWnd));
        text = ::GetTextColor(dc);
        background = ::GetBkColor(dc);
    }
    ::SendMessageA(m_hWnd, EM_SETBKGNDCOLOR, 0, static_cast<LPARAM>(background));
    SetWindowText(RecolouredRtf(m_rtf, text));
    ::SendMessageA(m_hWnd, EM_SETSEL, 0, 0); // nothing selected: a read-only view shows no selection
}

// A dotted frame just inside the view's edge, drawn over what the view painted. It is drawn
// in a colour, not by inverting, so drawing it again over itself changes nothing.
void CRSSEditCtrl::DrawFocusFrame() const
{
    CClientDC dc(m_hWnd);
    RECT frame = {};
    ::GetClientRect(m_hWnd, &frame);
    ::InflateRect(&frame, -1, -1);
    CGdiObject pen(::CreatePen(PS_DOT, 1, CPopupTheme::Colours().focus));
    CSelectObject penIn(dc, pen.Get());
    CSelectObject hollow(dc, ::GetStockObject(NULL_BRUSH));
    ::SetBkMode(dc, TRANSPARENT);
    ::Rectangle(dc, frame.left, frame.top, frame.right, frame.bottom);
}

// The browser opens the link, and the parent is told. Only web links are opened, and in an
// encoded form that the browser's command line takes as one argument.
void CRSSEditCtrl::Open()
{
    if (!IsWebLink(m_link))
        return;
    ::ShellExecuteA(nullptr, nullptr, EncodeWebLink(m_link), nullptr, nullptr, SW_SHOW);
    ::SendMessageA(::GetParent(m_hWnd), WM_ITEM_CLICKED, 0, 0);
}

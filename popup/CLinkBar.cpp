#include "popup/CLinkBar.h"

#include <cstring>

#include "fw/CDeviceContext.h"
#include "fw/CScopedHandle.h"
#include "fw/Win32Util.h"
#include "popup/CPopupTheme.h"
#include "popup/LinkBarMetrics.h"

namespace {

const wchar_t* const kAccessibleNames[kLinkBarWordCount] = {L"Previous", L"Next", L"Feed"};

bool IsDown(int key)
{
    return ::GetKeyState(key) < 0;
}

} // namespace

void CLinkBar::Attach(HWND control, HWND owner, UINT stepMessage)
{
    SubclassWindow(control);
    m_owner = owner;
    m_stepMessage = stepMessage;
    ::SetWindowLongPtrA(control, GWL_STYLE, ::GetWindowLongPtrA(control, GWL_STYLE) | WS_TABSTOP);
    m_links.Reset(CAccessibleLinks::Create(control, owner, stepMessage));
    SetAccessible(m_links.Get());
    Measure();
}

void CLinkBar::Place(int iconLeft, int top)
{
    m_layout = LayOutLinkBar(m_widths, iconLeft);
    SetWindowPos(nullptr, m_layout.left, top, m_layout.width, m_height, SWP_NOZORDER | SWP_NOACTIVATE);
    ::InvalidateRect(m_hWnd, nullptr, TRUE);
    UpdateAccessibleLinks();
}

// The pieces of the text and the line's height in the font the bar was given.
void CLinkBar::Measure()
{
    m_widths = MeasureLinkBarPieces(m_hWnd);
    m_height = 0;
    CClientDC dc(m_hWnd);
    if (!dc)
        return;
    CSelectObject font(dc, reinterpret_cast<HFONT>(::SendMessageA(m_hWnd, WM_GETFONT, 0, 0)));
    TEXTMETRICA metrics = {};
    if (::GetTextMetricsA(dc, &metrics))
        m_height = metrics.tmHeight;
}

LRESULT CLinkBar::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SETFONT: {
        const LRESULT result = CAccessibleStatic::WindowProc(message, wParam, lParam);
        Measure();
        return result;
    }
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_GETDLGCODE:
        return OnGetDlgCode(reinterpret_cast<const MSG*>(lParam));
    case WM_KEYDOWN:
        if (OnKeyDown(wParam))
            return 0;
        break;
    case WM_LBUTTONDOWN:
        // A click steps where it hits a word; the static control then tells its parent as ever.
        if (const std::optional<LinkBarWord> word = WordAt(static_cast<short>(LOWORD(lParam))))
            Step(*word);
        break;
    case WM_SETFOCUS:
        // Tab enters at the first word, Shift+Tab at the last, and shows where the focus is; the
        // focus coming back to the bar otherwise (the popup activated again) finds the word it left.
        if (IsDown(VK_TAB)) {
            Focus(IsDown(VK_SHIFT) ? kLinkBarWordCount - 1 : 0);
            SetFocusCues(m_hWnd, true);
        } else {
            Focus(m_lastFocused);
        }
        break;
    case WM_UPDATEUISTATE:
        ::InvalidateRect(m_hWnd, nullptr, TRUE);
        break;
    case WM_KILLFOCUS:
        Focus(-1);
        break;
    default:
        break;
    }
    return CAccessibleStatic::WindowProc(message, wParam, lParam);
}

// The words in the link colour the popup gives, the separators between them, and a focus frame
// around the word with the keyboard focus.
void CLinkBar::OnPaint()
{
    CPaintDC dc(m_hWnd);
    if (!dc)
        return;
    const RECT client = GetClientRect();
    HBRUSH brush = reinterpret_cast<HBRUSH>(::SendMessageA(::GetParent(m_hWnd), WM_CTLCOLORSTATIC,
                                                           reinterpret_cast<WPARAM>(HDC(dc)),
                                                           reinterpret_cast<LPARAM>(m_hWnd)));
    ::FillRect(dc, &client, brush ? brush : ::GetSysColorBrush(COLOR_BTNFACE));
    ::SetBkMode(dc, TRANSPARENT);
    CSelectObject font(dc, reinterpret_cast<HFONT>(::SendMessageA(m_hWnd, WM_GETFONT, 0, 0)));
    for (int i = 0; i < kLinkBarWordCount; ++i) {
        ::TextOutA(dc, m_layout.words[i].begin, 0, kLinkBarWords[i], static_cast<int>(std::strlen(kLinkBarWords[i])));
        ::TextOutA(dc, m_layout.separators[i].begin, 0, kLinkBarSeparator,
                   static_cast<int>(std::strlen(kLinkBarSeparator)));
    }
    if (m_focused >= 0 && !AreFocusCuesHidden(m_hWnd)) {
        const RECT frame = {m_layout.words[m_focused].begin, 0, m_layout.words[m_focused].end, client.bottom};
        if (CPopupTheme::Theme() == PopupTheme::Light) {
            ::DrawFocusRect(dc, &frame);
        } else {
            // The theme's focus colour; inverting would give whatever the background makes of it.
            CGdiObject pen(::CreatePen(PS_DOT, 1, CPopupTheme::Colours().focus));
            CSelectObject penIn(dc, pen.Get());
            CSelectObject hollow(dc, ::GetStockObject(NULL_BRUSH));
            ::Rectangle(dc, frame.left, frame.top, frame.right, frame.bottom);
        }
    }
}

// The bar keeps Tab while it moves between its words, and takes Enter, Space and the arrows;
// everything else (Esc among them) is the dialog's.
LRESULT CLinkBar::OnGetDlgCode(const MSG* message) const
{
    LRESULT code = DLGC_WANTARROWS;
    if (!message || message->message != WM_KEYDOWN)
        return code;
    switch (message->wParam) {
    case VK_TAB: {
        const int next = m_focused + (IsDown(VK_SHIFT) ? -1 : 1);
        if (m_focused >= 0 && next >= 0 && next < kLinkBarWordCount)
            code |= DLGC_WANTTAB;
        break;
    }
    case VK_RETURN:
    case VK_SPACE:
        code |= DLGC_WANTMESSAGE;
        break;
    default:
        break;
    }
    return code;
}

bool CLinkBar::OnKeyDown(WPARAM key)
{
    SetFocusCues(m_hWnd, true);
    switch (key) {
    case VK_TAB:
        Focus(m_focused + (IsDown(VK_SHIFT) ? -1 : 1));
        return true;
    case VK_RETURN:
    case VK_SPACE:
        if (m_focused >= 0)
            Step(static_cast<LinkBarWord>(m_focused));
        return true;
    case VK_LEFT:
        Step(LinkBarWord::Previous);
        return true;
    case VK_RIGHT:
        Step(LinkBarWord::Next);
        return true;
    default:
        return false;
    }
}

void CLinkBar::Focus(int word)
{
    if (word >= kLinkBarWordCount)
        word = kLinkBarWordCount - 1;
    if (word < -1)
        word = -1;
    if (word == m_focused)
        return;
    m_focused = word;
    if (word >= 0)
        m_lastFocused = word;
    ::InvalidateRect(m_hWnd, nullptr, TRUE);
    if (m_links)
        m_links->SetFocusedLink(word);
}

void CLinkBar::Step(LinkBarWord word) const
{
    ::PostMessageA(m_owner, m_stepMessage, static_cast<WPARAM>(word), 0);
}

void CLinkBar::UpdateAccessibleLinks()
{
    if (!m_links)
        return;
    std::vector<CAccessibleLinks::Link> links;
    for (int i = 0; i < kLinkBarWordCount; ++i)
        links.push_back({kAccessibleNames[i], m_layout.words[i].begin, m_layout.words[i].end});
    m_links->SetLinks(std::move(links));
}

#include "popup/CPopupLayout.h"

#include <algorithm>

#include "fw/CDeviceContext.h"
#include "fw/Win32Util.h"
#include "popup/CPopupTheme.h"

namespace {

// Pixel figures of the layout at 96 DPI.
const int kGripSize = 14;
const int kRightMargin = 12;
const int kLeftMargin = 10;
const int kBottomGap = 1;
const int kStatusGap = 4;
const int kItemViewBottomGap = 12;

int Width(const RECT& rect) { return rect.right - rect.left; }
int Height(const RECT& rect) { return rect.bottom - rect.top; }

RECT ClientRectOf(HWND parent, HWND child)
{
    RECT rect = {};
    ::GetWindowRect(child, &rect);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

} // namespace

void CPopupLayout::Attach(const Parts& parts, int dpi)
{
    m_parts = parts;
    m_dpi = dpi;
    ApplyTheme(false);
}

void CPopupLayout::ApplyTheme(bool repaint)
{
    const bool changed = CPopupTheme::Read();
    const PopupColours& colours = CPopupTheme::Colours();
    m_faceBrush.Reset(::CreateSolidBrush(colours.face));
    m_viewBrush.Reset(::CreateSolidBrush(colours.view));
    // The item view takes its colours from here when it hears of the change.
    ::SendMessageA(m_parts.itemView, WM_SYSCOLORCHANGE, 0, 0);
    if (repaint && changed)
        ::RedrawWindow(*m_parts.popup, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
}

int CPopupLayout::Px(int pixelsAt96Dpi) const
{
    return ScaleForDpi(pixelsAt96Dpi, m_dpi);
}

void CPopupLayout::ChangeDpi(int dpi)
{
    const int old = m_dpi;
    if (dpi <= 0 || dpi == old)
        return;
    m_dpi = dpi;
    HWND popup = *m_parts.popup;
    for (HWND child = ::GetWindow(popup, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        const RECT place = ClientRectOf(popup, child);
        ::SetWindowPos(child, nullptr, ::MulDiv(place.left, dpi, old), ::MulDiv(place.top, dpi, old),
                       ::MulDiv(Width(place), dpi, old), ::MulDiv(Height(place), dpi, old),
                       SWP_NOZORDER | SWP_NOACTIVATE);
    }
    HFONT current = reinterpret_cast<HFONT>(::SendMessageA(*m_parts.statusLine, WM_GETFONT, 0, 0));
    LOGFONTA font = {};
    if (current && ::GetObjectA(current, sizeof font, &font) == sizeof font) {
        font.lfHeight = ::MulDiv(font.lfHeight, dpi, old);
        CGdiObject scaled(::CreateFontIndirectA(&font));
        ::SendMessageA(*m_parts.statusLine, WM_SETFONT, reinterpret_cast<WPARAM>(scaled.Get()), TRUE);
        m_statusFont.Reset(scaled.Detach());
    }
}

bool CPopupLayout::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message) {
    case WM_SIZE:
        OnSize(LOWORD(lParam), HIWORD(lParam));
        return true;
    case WM_PAINT:
        OnPaint();
        return true;
    case WM_NCHITTEST:
        result = OnNcHitTest(lParam);
        return true;
    case WM_SETCURSOR:
        if (!OnSetCursor())
            return false;
        result = TRUE;
        return true;
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE:
    case WM_THEMECHANGED:
        ApplyTheme(true);
        return false;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
        result = OnCtlColor(message, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
        return true;
    default:
        return false;
    }
}

// The menu icon in the bottom-right corner, the link bar ending where the icon begins (as wide
// as its text), the status line from the left margin to just before the link bar, the item view
// above them.
void CPopupLayout::OnSize(int cx, int cy)
{
    if (!m_parts.linkBar->m_hWnd)
        return;
    const RECT icon = m_parts.menuIcon->GetWindowRect();
    const int wi = Width(icon), hi = Height(icon);
    const int iconLeft = cx - wi - Px(kRightMargin);
    m_parts.menuIcon->SetWindowPos(nullptr, iconLeft, cy - hi, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    const int hn = m_parts.linkBar->Height();
    const int rowTop = cy - hn - Px(kBottomGap);
    m_parts.linkBar->Place(iconLeft, rowTop);

    const int statusRight = iconLeft - m_parts.linkBar->Width() - Px(kStatusGap);
    const UINT redrawNow = RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW;
    ::RedrawWindow(*m_parts.statusLine, nullptr, nullptr, redrawNow);
    m_parts.statusLine->SetWindowPos(nullptr, Px(kLeftMargin), rowTop, std::max(statusRight - Px(kLeftMargin), 0), hn,
                                     SWP_NOZORDER | SWP_NOACTIVATE);
    ::RedrawWindow(*m_parts.statusLine, nullptr, nullptr, redrawNow);

    HWND itemView = m_parts.itemView;
    const int left = ClientRectOf(*m_parts.popup, itemView).left;
    ::SetWindowPos(itemView, nullptr, 0, 0, cx - left - Px(kLeftMargin), cy - hn - Px(kItemViewBottomGap),
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CPopupLayout::OnPaint()
{
    if (::IsIconic(*m_parts.popup)) {
        CPaintDC dc(*m_parts.popup);
        ::SendMessageA(*m_parts.popup, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(static_cast<HDC>(dc)), 0);
        const RECT client = m_parts.popup->GetClientRect();
        const int x = (Width(client) - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
        const int y = (Height(client) - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
        ::DrawIcon(dc, x, y, m_parts.icon);
        return;
    }
    { CPaintDC validated(*m_parts.popup); } // the dialog's own painting is done

    CClientDC dc(*m_parts.popup);
    const RECT client = m_parts.popup->GetClientRect();
    const int grip = Px(kGripSize);
    RECT strip = {client.right - grip, client.top, client.right, client.bottom};
    ::FillRect(dc, &strip, m_faceBrush ? static_cast<HBRUSH>(m_faceBrush.Get()) : ::GetSysColorBrush(COLOR_BTNFACE));
    RECT corner = {client.right - grip, client.bottom - grip, client.right, client.bottom};
    ::DrawFrameControl(dc, &corner, DFC_SCROLL, DFCS_SCROLLSIZEGRIP);
}

// The user drags the popup by any free spot of its client area and sizes it at the grip.
LRESULT CPopupLayout::OnNcHitTest(LPARAM lParam)
{
    const POINT point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    const RECT window = m_parts.popup->GetWindowRect();
    const int grip = Px(kGripSize);
    if (point.x >= window.right - grip && point.x < window.right && point.y >= window.bottom - grip
        && point.y < window.bottom)
        return HTBOTTOMRIGHT;
    const LRESULT hit = ::DefWindowProcA(*m_parts.popup, WM_NCHITTEST, 0, lParam);
    return hit == HTCLIENT ? HTCAPTION : hit;
}

// The hand cursor shows over the link bar's words and over the menu icon beside them.
bool CPopupLayout::OnSetCursor()
{
    POINT cursor;
    ::GetCursorPos(&cursor);
    const RECT icon = m_parts.menuIcon->GetWindowRect();
    const RECT links = m_parts.linkBar->GetWindowRect();
    const bool overWord = ::PtInRect(&links, cursor) && m_parts.linkBar->WordAt(cursor.x - links.left);
    if (!overWord && !::PtInRect(&icon, cursor))
        return false;
    ::SetCursor(::LoadCursorA(nullptr, IDC_HAND));
    return true;
}

// The light scheme leaves the popup's face and status line to the system, as they always were;
// the dark scheme and high contrast paint them too.
LRESULT CPopupLayout::OnCtlColor(UINT message, HDC dc, HWND control)
{
    const PopupColours& colours = CPopupTheme::Colours();
    const bool ownFace = CPopupTheme::Theme() != PopupTheme::Light && m_faceBrush;
    const LRESULT defaultBrush = ownFace ? reinterpret_cast<LRESULT>(m_faceBrush.Get())
                                         : ::DefWindowProcA(*m_parts.popup, message, reinterpret_cast<WPARAM>(dc),
                                                            reinterpret_cast<LPARAM>(control));
    if (control == m_parts.itemView) {
        ::SetTextColor(dc, colours.itemText);
        ::SetBkColor(dc, colours.view);
        return m_viewBrush ? reinterpret_cast<LRESULT>(m_viewBrush.Get())
                           : reinterpret_cast<LRESULT>(::GetStockObject(WHITE_BRUSH));
    }
    if (control == m_parts.linkBar->m_hWnd) {
        ::SetTextColor(dc, colours.link);
        ::SetBkMode(dc, TRANSPARENT);
    } else if (ownFace) {
        ::SetTextColor(dc, colours.status);
        ::SetBkColor(dc, colours.face);
    }
    return defaultBrush;
}

#include "popup/CNimbrelDlg.h"

#include <climits>
#include <cstring>
#include <string>

#include "app/Resource.h"
#include "app/WatchMessages.h"
#include "feeds/WideText.h"
#include "fw/CScopedHandle.h"
#include "fw/CWinApp.h"
#include "fw/Win32Util.h"
#include "popup/CAboutDlg.h"
#include "popup/ChannelMenu.h"
#include "popup/ItemNavigation.h"
#include "popup/ItemText.h"
#include "popup/LongOperationTitle.h"
#include "popup/PresetFeedList.h"
#include "popup/CTitleWatchList.h"

namespace {

const UINT_PTR kRefreshTimer = 1;
// A minimise or restore is reported before it happens; the placement is checked again once
// the watched window has settled.
const UINT_PTR kSettleTimer = 2;
const UINT kSettleMs = 250;
const UINT kFirstRefreshMs = 10000;
const UINT kBalloonSeconds = 10;
// A sponsor picture that claims more pixels than this either way is not decoded.
const int kLargestSponsorSide = 2000;
// Windows whose title may still come to announce a long operation are read again this often
// (in turns of CTitleWatchList::kReadsPerTick windows).
const UINT_PTR kTitleTimer = 3;
const UINT kTitleTickMs = 200;
const COLORREF kItemTextColour = RGB(160, 0, 0);
const COLORREF kLinkColour = RGB(0, 0, 250);

// Pixel figures of the layout at 96 DPI.
const int kGripSize = 14;
const int kRightMargin = 12;
const int kLeftMargin = 10;
const int kBottomGap = 1;
const int kStatusSpacing = 14;
const int kItemViewBottomGap = 12;
const int kMenuIconReach = 18;

int Width(const RECT& rect) { return rect.right - rect.left; }
int Height(const RECT& rect) { return rect.bottom - rect.top; }

// Refresh interval in milliseconds; out-of-range settings are held to what a timer can do.
UINT RefreshPeriodMs(int minutes)
{
    const int longestMinutes = USER_TIMER_MAXIMUM / 60000;
    if (minutes < 1)
        minutes = 1;
    if (minutes > longestMinutes)
        minutes = longestMinutes;
    return static_cast<UINT>(minutes) * 60000u;
}

RECT ClientRectOf(HWND parent, HWND child)
{
    RECT rect = {};
    ::GetWindowRect(child, &rect);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

} // namespace

CNimbrelDlg::CNimbrelDlg() : CDialog(IDD_POPUP)
{
    m_showOnStart = false; // the popup shows itself only beside a watched window or on View
    m_icon = ::LoadIconA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(IDI_MAINFRAME));
    m_itemView.m_service = &m_service;
    LoadSettings();
    LoadFeedList();
}

void CNimbrelDlg::LoadSettings()
{
    CSettings settings;
    settings.Load(*AfxGetApp());
    m_interval = settings.m_interval;
    m_notify = settings.m_notify;
    m_channels = settings.m_channels;
    m_preferredChannel = settings.m_preferredChannel;
    m_myFeeds.Copy(settings.m_myFeeds);
}

CSettings CNimbrelDlg::CurrentSettings() const
{
    CSettings settings;
    settings.m_interval = m_interval;
    settings.m_notify = m_notify;
    settings.m_channels = m_channels;
    settings.m_preferredChannel = m_preferredChannel;
    settings.m_myFeeds.Copy(m_myFeeds);
    return settings;
}

void CNimbrelDlg::SaveSettings(int oldFeedCount)
{
    CurrentSettings().SaveAfterSettingsDialog(*AfxGetApp(), oldFeedCount);
}

void CNimbrelDlg::SavePreferredChannel()
{
    CurrentSettings().SavePreferredChannel(*AfxGetApp());
}

CNimbrelDlg::~CNimbrelDlg()
{
    m_sponsorImage.Destroy();
    CImage::ReleaseDecoder();
}

void CNimbrelDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_LINK_BAR, m_linkBar);
    DDX_Control(pDX, IDC_STATUS_LINE, m_statusLine);
    DDX_Control(pDX, IDC_MENU_ICON, m_menuIcon);
}

BOOL CNimbrelDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_dpi = GetScreenDpi();
    SetWindowText(LULLCAST_MAIN_CAPTION);
    AddAboutToSystemMenu();
    ::SendMessageA(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_icon));
    ::SendMessageA(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_icon));
    m_itemView.SubclassDlgItem(IDC_ITEM_VIEW, this);
    CreateFonts();
    MoveOutOfSight();
    m_tray.Install(AfxGetInstanceHandle(), m_hWnd, WM_TRAY_NOTIFY, LULLCAST_MAIN_CAPTION, m_icon, IDR_TRAY_MENU);
    FocusSponsorArea();
    m_timerId = ::SetTimer(m_hWnd, kRefreshTimer, kFirstRefreshMs, nullptr);
    return FALSE;
}

void CNimbrelDlg::AddAboutToSystemMenu()
{
    HMENU systemMenu = ::GetSystemMenu(m_hWnd, FALSE);
    if (!systemMenu)
        return;
    char text[256] = "";
    if (::LoadStringA(AfxGetInstanceHandle(), IDS_ABOUTBOX, text, sizeof text) <= 0 || !text[0])
        return;
    ::AppendMenuA(systemMenu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuA(systemMenu, MF_STRING, IDM_ABOUTBOX, text);
}

void CNimbrelDlg::CreateFonts()
{
    HDC dc = ::GetDC(m_hWnd);
    const int pixelsPerInch = ::GetDeviceCaps(dc, LOGPIXELSY);
    ::ReleaseDC(m_hWnd, dc);

    LOGFONTA font = {};
    std::strcpy(font.lfFaceName, "Arial");
    font.lfWeight = FW_NORMAL;
    font.lfHeight = -::MulDiv(9, pixelsPerInch, 72);
    m_textFont = ::CreateFontIndirectA(&font);
    ::SendMessageA(GetDlgItem(IDC_ITEM_VIEW), WM_SETFONT, reinterpret_cast<WPARAM>(m_textFont), FALSE);
    font.lfHeight = -::MulDiv(8, pixelsPerInch, 72);
    m_linkFont = ::CreateFontIndirectA(&font);
    ::SendMessageA(GetDlgItem(IDC_LINK_BAR), WM_SETFONT, reinterpret_cast<WPARAM>(m_linkFont), FALSE);
}

// The template centres the popup; that place is remembered for View, and the window
// waits out of sight until it is needed.
void CNimbrelDlg::MoveOutOfSight()
{
    const RECT centred = GetWindowRect();
    SetWindowPos(nullptr, -1000, -1000, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(SW_HIDE);
    m_savedRect = centred;
    m_popupVisible = FALSE;
}

// The focus starts on the sponsor area. The hidden popup must not take the focus from other
// programs at start, so it is given only if the popup is already active; otherwise the dialog
// manager places it when the popup is first activated.
void CNimbrelDlg::FocusSponsorArea()
{
    if (::GetActiveWindow() == m_hWnd)
        ::SetFocus(GetDlgItem(IDC_SPONSOR));
}

bool CNimbrelDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message) {
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) != IDM_ABOUTBOX)
            return false;
        OnSysCommand(wParam, lParam);
        return true;
    case WM_PAINT:
        OnPaint();
        return true;
    case WM_QUERYDRAGICON:
        result = reinterpret_cast<LRESULT>(m_icon);
        return true;
    case WM_DRAWITEM:
        if (wParam != IDC_SPONSOR)
            return false;
        OnDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        result = TRUE;
        return true;
    case WM_WATCH_CREATED:
        OnWatchCreated(reinterpret_cast<HWND>(wParam));
        return true;
    case WM_WATCH_PLACE:
        OnWatchPlace(reinterpret_cast<HWND>(wParam));
        return true;
    case WM_WATCH_DESTROYED:
        OnWatchDestroyed(reinterpret_cast<HWND>(wParam));
        return true;
    case WM_TIMER:
        if (wParam == kSettleTimer)
            OnSettleTimer();
        else if (wParam == kTitleTimer)
            OnTitleTimer();
        else
            OnTimer();
        return true;
    case WM_CLOSE:
        HideAndRemember();
        return true;
    case WM_DESTROY:
        OnDestroy();
        return true;
    case WM_SIZE:
        OnSize(LOWORD(lParam), HIWORD(lParam));
        return true;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
        result = OnCtlColor(message, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
        return true;
    case WM_SETCURSOR:
        if (!OnSetCursor())
            return false;
        result = TRUE;
        return true;
    case WM_NCHITTEST:
        result = OnNcHitTest(lParam);
        return true;
    case WM_TRAY_NOTIFY:
        result = m_tray.HandleIconMessage(wParam, lParam);
        return true;
    default:
        return false;
    }
}

int CNimbrelDlg::Px(int pixelsAt96Dpi) const
{
    return ScaleForDpi(pixelsAt96Dpi, m_dpi);
}

void CNimbrelDlg::OnSize(int cx, int cy)
{
    if (m_linkBar.m_hWnd) {
        const RECT icon = m_menuIcon.GetWindowRect();
        const RECT links = m_linkBar.GetWindowRect();
        const int wi = Width(icon), hi = Height(icon);
        const int wn = Width(links), hn = Height(links);
        const UINT moveOnly = SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE;

        m_menuIcon.SetWindowPos(nullptr, cx - wi - Px(kRightMargin), cy - hi, 0, 0, moveOnly);
        m_linkBar.SetWindowPos(nullptr, cx - wi - wn - Px(kRightMargin), cy - hn - Px(kBottomGap), 0, 0, moveOnly);

        const UINT redrawNow = RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW;
        ::RedrawWindow(m_statusLine, nullptr, nullptr, redrawNow);
        m_statusLine.SetWindowPos(nullptr, Px(kLeftMargin), cy - hn - Px(kBottomGap),
                                  cx - wn - wi - Px(kStatusSpacing), hn, SWP_NOZORDER | SWP_NOACTIVATE);
        ::RedrawWindow(m_statusLine, nullptr, nullptr, redrawNow);

        HWND itemView = GetDlgItem(IDC_ITEM_VIEW);
        const int left = ClientRectOf(m_hWnd, itemView).left;
        ::SetWindowPos(itemView, nullptr, 0, 0, cx - left - Px(kLeftMargin), cy - hn - Px(kItemViewBottomGap),
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    m_savedRect = GetWindowRect();
}

void CNimbrelDlg::OnPaint()
{
    if (::IsIconic(m_hWnd)) {
        PAINTSTRUCT paint;
        HDC dc = ::BeginPaint(m_hWnd, &paint);
        ::SendMessageA(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
        const RECT client = GetClientRect();
        const int x = (Width(client) - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
        const int y = (Height(client) - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
        ::DrawIcon(dc, x, y, m_icon);
        ::EndPaint(m_hWnd, &paint);
        return;
    }
    PAINTSTRUCT paint;
    ::BeginPaint(m_hWnd, &paint);
    ::EndPaint(m_hWnd, &paint);

    HDC dc = ::GetDC(m_hWnd);
    const RECT client = GetClientRect();
    const int grip = Px(kGripSize);
    RECT strip = {client.right - grip, client.top, client.right, client.bottom};
    ::FillRect(dc, &strip, ::GetSysColorBrush(COLOR_BTNFACE));
    RECT corner = {client.right - grip, client.bottom - grip, client.right, client.bottom};
    ::DrawFrameControl(dc, &corner, DFC_SCROLL, DFCS_SCROLLSIZEGRIP);
    ::ReleaseDC(m_hWnd, dc);
}

// The user drags the popup by any free spot of its client area and sizes it at the grip.
LRESULT CNimbrelDlg::OnNcHitTest(LPARAM lParam)
{
    const POINT point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    const RECT window = GetWindowRect();
    const int grip = Px(kGripSize);
    if (point.x >= window.right - grip && point.x < window.right && point.y >= window.bottom - grip
        && point.y < window.bottom)
        return HTBOTTOMRIGHT;
    const LRESULT hit = ::DefWindowProcA(m_hWnd, WM_NCHITTEST, 0, lParam);
    return hit == HTCLIENT ? HTCAPTION : hit;
}

// The hand cursor shows over the link bar and the menu icon beside it.
bool CNimbrelDlg::OnSetCursor()
{
    POINT cursor;
    ::GetCursorPos(&cursor);
    RECT links = m_linkBar.GetWindowRect();
    links.right += Px(kMenuIconReach);
    if (!::PtInRect(&links, cursor))
        return false;
    ::SetCursor(::LoadCursorA(nullptr, IDC_HAND));
    return true;
}

LRESULT CNimbrelDlg::OnCtlColor(UINT message, HDC dc, HWND control)
{
    const LRESULT defaultBrush = ::DefWindowProcA(m_hWnd, message, reinterpret_cast<WPARAM>(dc),
                                                  reinterpret_cast<LPARAM>(control));
    if (control == GetDlgItem(IDC_ITEM_VIEW)) {
        ::SetTextColor(dc, kItemTextColour);
        return reinterpret_cast<LRESULT>(::GetStockObject(WHITE_BRUSH));
    }
    if (control == m_linkBar.m_hWnd) {
        ::SetTextColor(dc, kLinkColour);
        ::SetBkMode(dc, TRANSPARENT);
    }
    return defaultBrush;
}

void CNimbrelDlg::OnDrawItem(const DRAWITEMSTRUCT& item)
{
    // Without a sponsor picture the area shows the window's own face colour (the popup clips
    // its children, so nothing else would paint it); a picture with alpha is blended over it.
    ::FillRect(item.hDC, &item.rcItem, ::GetSysColorBrush(COLOR_BTNFACE));
    m_sponsorImage.Draw(item.hDC, item.rcItem);
}

void CNimbrelDlg::OnSysCommand(WPARAM, LPARAM)
{
    CAboutDlg about;
    about.DoModal();
}

void CNimbrelDlg::OnCancel()
{
    HideAndRemember();
}

void CNimbrelDlg::HideAndRemember()
{
    m_savedRect = GetWindowRect();
    ShowWindow(SW_HIDE);
    m_popupVisible = FALSE;
}

void CNimbrelDlg::OnDestroy()
{
    ::KillTimer(m_hWnd, m_timerId);
    ::KillTimer(m_hWnd, kSettleTimer);
    ::KillTimer(m_hWnd, kTitleTimer);
    ::DeleteObject(m_textFont);
    ::DeleteObject(m_linkFont);
    m_textFont = m_linkFont = nullptr;
}

void CNimbrelDlg::OnWatchCreated(HWND window)
{
    // The hook library reports a window a second time at its first activation (its title may
    // not have been set when the creation was reported). A window the popup already accompanies
    // is nothing new: if the user hid the popup meanwhile, it stays hidden.
    if (window == m_watchedWnd && m_watchedAlive)
        return;
    if (!HasLongOperationTitle(window)) {
        WatchTitle(window);
        return;
    }
    Accompany(window);
}

bool CNimbrelDlg::HasLongOperationTitle(HWND window)
{
    wchar_t title[1024] = L"";
    ::GetWindowTextW(window, title, 1024);
    return IsLongOperationTitle(title);
}

// The popup docks below the window, topmost.
void CNimbrelDlg::Accompany(HWND window)
{
    m_titleWatch.Remove(reinterpret_cast<CTitleWatchList::Window>(window));
    m_watchedWnd = window;
    m_watchedAlive = true;
    OnWatchPlace(window);
    ShowWindow(SW_SHOW);
    SetWindowPos(HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    m_popupVisible = TRUE;
}

// The popup's top edge lies on the watched window's bottom edge, flush left, exactly as
// wide, keeping its own height.
void CNimbrelDlg::OnWatchPlace(HWND window)
{
    if (!window || window != m_watchedWnd || !m_watchedAlive || !::IsWindow(window))
        return;
    FetchSponsorImage();
    RECT watched = {};
    ::GetWindowRect(window, &watched);
    m_placedBeside = watched;
    SetWindowPos(HWND_TOPMOST, watched.left, watched.bottom, Width(watched), Height(m_savedRect), SWP_NOACTIVATE);
    ShowWindow(SW_SHOW);
    m_popupVisible = TRUE;
    m_savedRect = GetWindowRect();
    ::SetTimer(m_hWnd, kSettleTimer, kSettleMs, nullptr);
}

// Places the popup again if the watched window ended up elsewhere than where it was when the
// last placement read it. What the popup itself achieved is not compared: below a window
// narrower than the popup can be, its width never matches, and it must not be placed again
// and again.
void CNimbrelDlg::OnSettleTimer()
{
    ::KillTimer(m_hWnd, kSettleTimer);
    if (!m_popupVisible || !m_watchedAlive || !::IsWindow(m_watchedWnd))
        return;
    RECT watched = {};
    ::GetWindowRect(m_watchedWnd, &watched);
    if (!::EqualRect(&watched, &m_placedBeside))
        OnWatchPlace(m_watchedWnd);
}

void CNimbrelDlg::OnWatchDestroyed(HWND window)
{
    m_titleWatch.Remove(reinterpret_cast<CTitleWatchList::Window>(window));
    if (window != m_watchedWnd)
        return;
    m_watchedAlive = false; // the handle stays, but may come again for a new window
    HideAndRemember();
}

// A reported window whose title does not announce a long operation may still come to: its title
// is read again while it lives.
void CNimbrelDlg::WatchTitle(HWND window)
{
    // Setting the timer again would put its next tick off: with windows coming faster than the
    // ticks, none would ever come. It is set when the list was empty (and the timer ends with it).
    const bool timerIdle = m_titleWatch.IsEmpty();
    m_titleWatch.Add(reinterpret_cast<CTitleWatchList::Window>(window));
    if (timerIdle)
        ::SetTimer(m_hWnd, kTitleTimer, kTitleTickMs, nullptr);
}

void CNimbrelDlg::OnTitleTimer()
{
    CTitleWatchList::Window batch[CTitleWatchList::kReadsPerTick];
    const size_t count = m_titleWatch.NextBatch(batch);
    for (size_t i = 0; i < count; ++i) {
        HWND window = reinterpret_cast<HWND>(batch[i]);
        if (!::IsWindow(window)) {
            m_titleWatch.Remove(batch[i]);
        } else if (::IsWindowVisible(window) && window != m_hWnd && HasLongOperationTitle(window)) {
            Accompany(window);
            break;
        }
    }
    if (m_titleWatch.IsEmpty())
        ::KillTimer(m_hWnd, kTitleTimer);
}

void CNimbrelDlg::OnTimer()
{
    RefreshFeed();
}

BOOL CNimbrelDlg::OnCommand(WPARAM wParam, LPARAM lParam)
{
    switch (wParam) {
    case ID_TRAY_EXIT:
        // An open settings dialog goes as with Cancel, or the program would linger until the
        // user closed it (an uninstaller's "/Uninstall" among others would wait in vain).
        if (m_settingsDlg)
            m_settingsDlg->EndDialog(IDCANCEL);
        CDialog::OnCancel(); // ends the modal loop; the popup's own cancel only hides
        return TRUE;
    case ID_TRAY_VIEW:
        OnView();
        return TRUE;
    case ID_TRAY_SETTINGS:
        OnSettings();
        return TRUE;
    case MAKEWPARAM(IDC_MENU_ICON, STN_CLICKED):
    case MAKEWPARAM(IDC_MENU_ICON, STN_DBLCLK): // a click soon after the last one is a click too
        OnMenuIconClicked();
        return TRUE;
    default:
        if (LOWORD(wParam) == IDC_LINK_BAR && HIWORD(wParam) == STN_CLICKED) {
            OnLinkBarClicked();
            return TRUE;
        }
        return CDialog::OnCommand(wParam, lParam);
    }
}

// View shows the popup at its remembered place, no longer topmost.
void CNimbrelDlg::OnView()
{
    FetchSponsorImage();
    SetWindowPos(HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetWindowPos(nullptr, m_savedRect.left, m_savedRect.top, Width(m_savedRect), Height(m_savedRect), SWP_NOZORDER);
    ShowWindow(SW_SHOW);
    m_popupVisible = TRUE;
    RefreshFeed();
    ReportView();
}

// The settings dialog edits copies of the settings; they come back, and are written, only
// when it ends with OK. The refresh timer and the display are left alone: the new interval
// counts from the next refresh on.
void CNimbrelDlg::OnSettings()
{
    if (m_settingsDlg) {
        if (m_settingsDlg->m_hWnd)
            ::SetForegroundWindow(m_settingsDlg->m_hWnd);
        return;
    }
    CDlgSettings dialog;
    dialog.m_interval = static_cast<unsigned>(m_interval);
    dialog.m_notify = m_notify;
    dialog.m_feeds.Copy(m_myFeeds);
    dialog.m_channels = static_cast<unsigned>(m_channels);
    const int oldFeedCount = m_myFeeds.GetSize();

    m_settingsDlg = &dialog;
    const INT_PTR result = dialog.DoModal();
    m_settingsDlg = nullptr;
    if (result != IDOK)
        return;

    m_interval = static_cast<int>(dialog.m_interval);
    m_notify = dialog.m_notify;
    m_channels = static_cast<int>(dialog.m_channels);
    m_myFeeds.RemoveAll();
    m_myFeeds.Copy(dialog.m_feeds);
    SaveSettings(oldFeedCount);
    LoadFeedList(); // the current feed's index stays; the next refresh uses the new list
}

// The channel menu drops from the menu icon's bottom-left corner. The chosen channel is
// written whatever the choice, even none, before the menu goes.
void CNimbrelDlg::OnMenuIconClicked()
{
    CMenuHandle menu(::CreatePopupMenu());
    if (!menu)
        return;
    for (const ChannelMenuEntry& entry : ChannelMenuEntries(m_channels, m_preferredChannel)) {
        if (!entry.text)
            ::AppendMenuA(menu.Get(), MF_SEPARATOR, 0, nullptr);
        else
            ::AppendMenuA(menu.Get(), MF_STRING | (entry.checked ? MF_CHECKED : MF_UNCHECKED), entry.id, entry.text);
    }
    const RECT icon = m_menuIcon.GetWindowRect();
    const UINT result = static_cast<UINT>(::TrackPopupMenu(
        menu.Get(), TPM_RETURNCMD | TPM_LEFTALIGN | TPM_TOPALIGN, icon.left, icon.bottom, 0, m_hWnd, nullptr));
    const ChannelMenuChoice choice = ChooseFromChannelMenu(result, m_preferredChannel);
    switch (choice.action) {
    case ChannelMenuChoice::OpenSettings:
        ::PostMessageA(m_hWnd, WM_COMMAND, ID_TRAY_SETTINGS, 0);
        break;
    case ChannelMenuChoice::SwitchChannel:
        m_preferredChannel = choice.channel;
        m_currentFeed = 0;
        LoadFeedList();
        RefreshFeed();
        ReportView();
        break;
    case ChannelMenuChoice::Nothing:
        break;
    }
    SavePreferredChannel();
}

void CNimbrelDlg::LoadFeedList()
{
    m_feedUrls.RemoveAll();
    if (m_preferredChannel == CSettings::kMyFeedsChannel) {
        m_feedUrls.Copy(m_myFeeds);
        return;
    }
    std::string body;
    m_service.FetchPresetList(body); // a failed request leaves what arrived before it
    ReadPresetSection(body.data(), body.size(), m_preferredChannel, m_feedUrls);
}

// Reloads the current feed and puts its newest item on display when it is new, announcing it
// in a balloon while the popup is hidden. The refresh timer counts from here.
void CNimbrelDlg::RefreshFeed()
{
    m_feed.m_items.RemoveAll();
    if (m_currentFeed < 0 || m_currentFeed >= m_feedUrls.GetSize())
        m_currentFeed = 0;
    if (m_currentFeed < m_feedUrls.GetSize())
        m_feed.Load(m_feedUrls[m_currentFeed]);
    m_statusLine.SetWindowText(m_feed.m_source.m_strTitle);

    const int count = m_feed.m_items.GetSize();
    if (count == 0) {
        m_itemView.SetWindowText(NoFeedsRtf(m_service.Domain()));
        m_itemView.m_link = m_service.BaseAddress();
    } else {
        const CFeedItem newest = m_feed.m_items[count - 1];
        if (newest.m_strTitle != m_newestTitle || newest.m_strPubDate != m_newestPubDate) {
            ShowItem(newest);
            if (!m_popupVisible && m_notify)
                m_tray.DisplayBalloon(BalloonTextOf(newest.m_strDescription), newest.m_strTitle, 0, kBalloonSeconds);
            m_newestTitle = newest.m_strTitle;
            m_newestPubDate = newest.m_strPubDate;
        }
    }
    m_timerId = ::SetTimer(m_hWnd, kRefreshTimer, RefreshPeriodMs(m_interval), nullptr);
}

void CNimbrelDlg::ShowItem(const CFeedItem& item)
{
    // The rich text is made of UTF-8, whatever code page this Windows gives the program.
    m_itemView.SetWindowText(ItemRtf(AnsiToUtf8(item.m_strTitle), AnsiToUtf8(item.m_strDescription)));
    m_itemView.m_link = item.m_strLink;
    // After the settings changed the feed list, the current feed may be gone.
    m_itemView.m_feedUrl = m_currentFeed >= 0 && m_currentFeed < m_feedUrls.GetSize() ? m_feedUrls[m_currentFeed]
                                                                                       : CString();
    m_shownTitle = item.m_strTitle;
    m_shownPubDate = item.m_strPubDate;
}

// The index of the shown item in the loaded feed (the first of equal keys), or -1.
int CNimbrelDlg::FindShownItem() const
{
    for (int i = 0; i < m_feed.m_items.GetSize(); ++i) {
        const CFeedItem& item = m_feed.m_items[i];
        if (item.m_strTitle == m_shownTitle && item.m_strPubDate == m_shownPubDate)
            return i;
    }
    return -1;
}

void CNimbrelDlg::ShowNextItem()
{
    const int target = OlderItemIndex(FindShownItem(), m_feed.m_items.GetSize());
    if (target < 0) {
        ::MessageBeep(0xFFFFFFFF);
        return;
    }
    ShowItem(m_feed.m_items[target]);
    ReportView();
}

void CNimbrelDlg::ShowPreviousItem()
{
    const int target = NewerItemIndex(FindShownItem(), m_feed.m_items.GetSize());
    if (target < 0) {
        ::MessageBeep(0xFFFFFFFF);
        return;
    }
    ShowItem(m_feed.m_items[target]);
    ReportView();
}

void CNimbrelDlg::OnLinkBarClicked()
{
    POINT cursor;
    ::GetCursorPos(&cursor);
    ::ScreenToClient(m_linkBar, &cursor);
    switch (LinkBarWordAt(cursor.x, m_dpi)) {
    case LinkBarWord::Previous:
        ShowPreviousItem();
        break;
    case LinkBarWord::Next:
        ShowNextItem();
        break;
    case LinkBarWord::Feed:
        ++m_currentFeed;
        RefreshFeed();
        ReportView();
        break;
    }
}

void CNimbrelDlg::ReportView()
{
    if (m_currentFeed >= 0 && m_currentFeed < m_feedUrls.GetSize())
        m_service.ReportView(m_feedUrls[m_currentFeed]);
}

// A fresh sponsor picture before every showing. A failed request keeps the previous picture;
// a body that does not decode leaves the area empty. A popup already on screen shows the new
// picture at once.
void CNimbrelDlg::FetchSponsorImage()
{
    std::string body;
    if (!m_service.FetchSponsorPicture(body))
        return;
    CGlobalMemory block(::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, CServiceClient::kSponsorBytes));
    if (!block)
        return;
    if (void* bytes = ::GlobalLock(block.Get())) {
        std::memcpy(bytes, body.data(), body.size());
        ::GlobalUnlock(block.Get());
    }
    IStream* stream = nullptr;
    if (SUCCEEDED(::CreateStreamOnHGlobal(block.Get(), FALSE, &stream)) && stream) {
        m_sponsorImage.Destroy();
        m_sponsorImage.Load(stream, kLargestSponsorSide);
        stream->Release();
        if (m_hWnd)
            ::InvalidateRect(GetDlgItem(IDC_SPONSOR), nullptr, FALSE);
    }
}

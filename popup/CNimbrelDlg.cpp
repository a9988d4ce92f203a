#include "popup/CNimbrelDlg.h"

#include <commctrl.h>

#include <cstring>

#include "fw/CDeviceContext.h"
#include "fw/CWinApp.h"
#include "fw/Monitors.h"
#include "fw/QuietFacts.h"
#include "fw/Win32Util.h"
#include "hook/WatchMessages.h"
#include "popup/CAboutDlg.h"
#include "popup/ChannelMenu.h"
#include "popup/ItemNavigation.h"
#include "popup/ItemText.h"
#include "popup/LinkBarMetrics.h"
#include "popup/PopupFonts.h"
#include "popup/PopupMessages.h"
#include "popup/PopupPlacement.h"
#include "res/Resource.h"

namespace {

// How long a balloon of a new item stays.
const UINT kBalloonSeconds = 10;
// The menu icon's tooltip breaks its lines at this width, in pixels.
const LPARAM kMenuTipWidth = 600;
// The system menu's About entry is read up to this many characters.
const int kMenuTextLength = 256;

} // namespace

CNimbrelDlg::CNimbrelDlg(std::function<bool()> onCaptioned) : CDialog(IDD_POPUP), m_onCaptioned(std::move(onCaptioned))
{
    m_showOnStart = false; // the popup shows itself only beside a watched window or on View
    m_icon = ::LoadIconA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(IDI_MAINFRAME));
    m_settings.Load(*AfxGetApp());
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
    m_dpi = GetWindowDpi(m_hWnd);
    SetWindowText(LULLCAST_MAIN_CAPTION);
    AddAboutToSystemMenu();
    ::SendMessageA(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_icon));
    ::SendMessageA(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_icon));
    m_itemView.SubclassDlgItem(IDC_ITEM_VIEW, this);
    m_linkBar.Attach(GetDlgItem(IDC_LINK_BAR), m_hWnd, WM_LINK_BAR_STEP);
    CreateFonts();
    SetUpKeyboardAndScreenReaders();
    AddMenuIconTip();
    m_layout.Attach({this, m_icon, GetDlgItem(IDC_ITEM_VIEW), &m_linkBar, &m_statusLine, &m_menuIcon}, m_dpi);
    m_placement.Attach(*this, *this);
    LayOutAgain(); // the first WM_SIZE came before the controls were bound
    m_placement.MoveOutOfSight();
    m_tray.Install(AfxGetInstanceHandle(), m_hWnd, WM_TRAY_NOTIFY, LULLCAST_MAIN_CAPTION, m_icon, IDR_TRAY_MENU);
    FocusSponsorArea();
    // Requests start only now that there is a window for their answers.
    m_service.Attach(m_hWnd);
    m_sponsor.Attach(m_hWnd, GetDlgItem(IDC_SPONSOR), m_service);
    m_browser.Attach(*this, *this, m_settings, m_service, m_itemView, m_statusLine);
    m_browser.LoadFeedList();
    if (m_onCaptioned && m_onCaptioned())
        m_placement.SweepDesktop();
    return FALSE;
}

void CNimbrelDlg::AddAboutToSystemMenu()
{
    HMENU systemMenu = ::GetSystemMenu(m_hWnd, FALSE);
    if (!systemMenu)
        return;
    char text[kMenuTextLength] = "";
    if (::LoadStringA(AfxGetInstanceHandle(), IDS_ABOUTBOX, text, sizeof text) <= 0 || !text[0])
        return;
    ::AppendMenuA(systemMenu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuA(systemMenu, MF_STRING, IDM_ABOUTBOX, text);
}

// The item view's and the link bar's fonts at the popup's DPI; the controls are told, the link
// bar measures its text again.
void CNimbrelDlg::CreateFonts()
{
    LOGFONTA font = {};
    std::strcpy(font.lfFaceName, kPopupFontFace);
    font.lfWeight = FW_NORMAL;
    font.lfHeight = -::MulDiv(kItemViewFontPoints, m_dpi, kPointsPerInch);
    CGdiObject textFont(::CreateFontIndirectA(&font));
    ::SendMessageA(GetDlgItem(IDC_ITEM_VIEW), WM_SETFONT, reinterpret_cast<WPARAM>(textFont.Get()), FALSE);
    m_textFont.Reset(textFont.Detach());
    CGdiObject linkFont(CreateLinkBarFont(m_dpi));
    ::SendMessageA(GetDlgItem(IDC_LINK_BAR), WM_SETFONT, reinterpret_cast<WPARAM>(linkFont.Get()), FALSE);
    m_linkFont.Reset(linkFont.Detach());
}

// Tab goes from the item view to the link bar's words and back (the dialog manager follows the
// order of the windows), and every part a screen reader stops at says what it is.
void CNimbrelDlg::SetUpKeyboardAndScreenReaders()
{
    ::SetWindowPos(m_linkBar, GetDlgItem(IDC_ITEM_VIEW), 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    m_itemView.ExposeToScreenReaders();
    m_menuIcon.SubclassWindow(m_menuIcon.m_hWnd);
    CComPtr<CAccessibleName> menu(CAccessibleName::Create(m_menuIcon, L"Channel menu", ROLE_SYSTEM_BUTTONMENU));
    menu->SetDefaultAction({L"Open", m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_MENU_ICON, STN_CLICKED),
                            reinterpret_cast<LPARAM>(m_menuIcon.m_hWnd)});
    m_menuIcon.SetAccessible(menu.Get());
}

// The controls laid out for the popup's size as it is.
void CNimbrelDlg::LayOutAgain()
{
    const RECT client = GetClientRect();
    ::SendMessageA(m_hWnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
}

// The tooltip belongs to the popup and goes with it; its text is set anew as feeds load.
void CNimbrelDlg::AddMenuIconTip()
{
    m_menuTip = ::CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_hWnd, nullptr,
                                  AfxGetInstanceHandle(), nullptr);
    if (!m_menuTip)
        return;
    TOOLINFOA tool = {};
    tool.cbSize = TTTOOLINFOA_V2_SIZE; // understood by every version of the common controls
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = m_hWnd;
    tool.uId = reinterpret_cast<UINT_PTR>(m_menuIcon.m_hWnd);
    tool.lpszText = const_cast<char*>("Channel menu");
    ::SendMessageA(m_menuTip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    ::SendMessageA(m_menuTip, TTM_SETMAXTIPWIDTH, 0, kMenuTipWidth); // several lines
}

void CNimbrelDlg::UpdateMenuIconTip()
{
    if (!m_menuTip)
        return;
    std::string text = "Channel menu";
    const std::string health = m_browser.ListHealthText();
    if (!health.empty())
        text += "\r\n" + health;
    TOOLINFOA tool = {};
    tool.cbSize = TTTOOLINFOA_V2_SIZE; // understood by every version of the common controls
    tool.hwnd = m_hWnd;
    tool.uId = reinterpret_cast<UINT_PTR>(m_menuIcon.m_hWnd);
    tool.lpszText = &text[0];
    ::SendMessageA(m_menuTip, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&tool));
}

// The focus starts on the sponsor area. The hidden popup must not take the focus from other
// programs at start, so it is given only if the popup is already active; otherwise the dialog
// manager places it when the popup is first activated.
void CNimbrelDlg::FocusSponsorArea()
{
    if (::GetActiveWindow() == m_hWnd)
        ::SetFocus(GetDlgItem(IDC_SPONSOR));
}

// The collaborators answer their own messages first, in a fixed order; what is left crosses
// concerns.
bool CNimbrelDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (m_placement.OnMessage(message, wParam, lParam)) // watch events, its timers
        return true;
    if (m_service.OnMessage(message, wParam, lParam)) // answers of reports, their timers
        return true;
    if (m_browser.OnMessage(message, wParam, lParam)) { // preset list and feed answers, their timers
        if (message == WM_FEED_ANSWER)
            UpdateMenuIconTip(); // a feed's health may have changed
        return true;
    }
    if (m_sponsor.OnMessage(message, wParam, lParam, result)) // its answer and timer, WM_DRAWITEM of IDC_SPONSOR
        return true;
    if (m_layout.OnMessage(message, wParam, lParam, result)) { // size, paint, hit test, cursor, colours
        if (message == WM_SIZE)
            m_placement.Remember(); // the remembered rectangle follows every size change
        return true;
    }
    return OnOwnMessage(message, wParam, lParam, result);
}

bool CNimbrelDlg::OnOwnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message) {
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) != IDM_ABOUTBOX)
            return false;
        {
            CAboutDlg about;
            about.DoModal();
        }
        return true;
    case WM_QUERYDRAGICON:
        result = reinterpret_cast<LRESULT>(m_icon);
        return true;
    case WM_ITEM_CLICKED:
        OnItemClicked();
        return true;
    case WM_LINK_BAR_STEP:
        if (wParam <= static_cast<WPARAM>(LinkBarWord::Feed))
            OnLinkBarStep(static_cast<LinkBarWord>(wParam));
        return true;
    case WM_DPICHANGED:
        OnDpiChanged(wParam, lParam);
        return true;
    case WM_CLOSE:
        m_placement.HideAndRemember();
        return true;
    case WM_DESTROY:
        OnDestroy();
        return true;
    case WM_TRAY_NOTIFY:
        result = m_tray.HandleIconMessage(wParam, lParam);
        return true;
    default:
        return false;
    }
}

// A balloon tells of a new item while the popup is hidden, if the user wants to be told and is
// not busy.
void CNimbrelDlg::OnNewItem(const CFeedItem& item)
{
    if (!m_placement.IsVisible() && m_settings.m_notify && !IsQuietTimeNow())
        m_tray.DisplayBalloon(BalloonTextOf(item.m_strDescription), item.m_strTitle, 0, kBalloonSeconds);
}

void CNimbrelDlg::OnFeedViewed(const CString& feed)
{
    m_service.ReportView(feed);
}

// The item view has opened the shown item's link: the click is reported, with the link as the
// feed gave it, and the popup hides.
void CNimbrelDlg::OnItemClicked()
{
    m_service.ReportClick(m_browser.ShownFeed(), m_browser.ShownLink());
    m_placement.HideAndRemember();
}

// A fresh sponsor picture at every docking; the popup shows at once with the one it has.
void CNimbrelDlg::OnDocked()
{
    m_sponsor.Fetch();
}

// Answers still on their way find no window: they are not applied, and nothing waits for them.
void CNimbrelDlg::OnDestroy()
{
    m_service.Detach();
    m_sponsor.Stop();
    m_browser.Stop();
    m_placement.Stop();
    m_textFont.Reset();
    m_linkFont.Reset();
}

// Enter comes to the dialog as IDOK: it must not end the program, which only Exit does.
void CNimbrelDlg::OnOK() {}

// Esc, and IDCANCEL from anywhere, hide the popup as the close box does.
void CNimbrelDlg::OnCancel()
{
    m_placement.HideAndRemember();
}

BOOL CNimbrelDlg::OnCommand(WPARAM wParam, LPARAM lParam)
{
    switch (wParam) {
    case ID_TRAY_EXIT:
        OnExit();
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
        return CDialog::OnCommand(wParam, lParam);
    }
}

void CNimbrelDlg::OnExit()
{
    // An open settings dialog goes as with Cancel, or the program would linger until the user
    // closed it (an uninstaller's "/Uninstall" among others would wait in vain).
    if (m_settingsDlg)
        m_settingsDlg->EndDialog(IDCANCEL);
    CDialog::OnCancel(); // ends the modal loop; the popup's own cancel only hides
}

// View shows the popup at its remembered place, no longer topmost, and refreshes it.
void CNimbrelDlg::OnView()
{
    m_sponsor.Fetch();
    SetFocusCues(m_hWnd, false);
    m_placement.ShowAtRememberedPlace();
    m_browser.RefreshFeed(true);
}

// The settings dialog edits a copy of the settings; it comes back, and is written, only when it
// ends with OK. The refresh timer and the display are left alone: the new interval counts from
// the next refresh on.
void CNimbrelDlg::OnSettings()
{
    if (m_settingsDlg) {
        if (m_settingsDlg->m_hWnd)
            ::SetForegroundWindow(m_settingsDlg->m_hWnd);
        return;
    }
    CDlgSettings dialog(m_settings);
    dialog.m_healthOf = [this](const std::string& feed) { return m_browser.HealthTextOf(feed); };
    const int oldFeedCount = m_settings.m_myFeeds.GetSize();
    const int oldMuteCount = m_settings.m_muteWords.GetSize();

    m_settingsDlg = &dialog;
    const INT_PTR result = dialog.DoModal();
    m_settingsDlg = nullptr;
    if (result != IDOK)
        return;

    // The chosen channel is the channel menu's, which the dialog does not edit.
    const int preferredChannel = m_settings.m_preferredChannel;
    m_settings = dialog.m_settings;
    m_settings.m_preferredChannel = preferredChannel;
    m_settings.SaveAfterSettingsDialog(*AfxGetApp(), oldFeedCount, oldMuteCount);
    m_browser.LoadFeedList(); // the current feed's index stays; the next refresh uses the new list
    m_browser.ApplyMuteWords();
}

// The channel menu drops from the menu icon's bottom-left corner. The chosen channel is
// written whatever the choice, even none, before the menu goes.
void CNimbrelDlg::OnMenuIconClicked()
{
    CMenuHandle menu(::CreatePopupMenu());
    if (!menu)
        return;
    for (const ChannelMenuEntry& entry : ChannelMenuEntries(m_settings.m_channels, m_settings.m_preferredChannel)) {
        if (!entry.text)
            ::AppendMenuA(menu.Get(), MF_SEPARATOR, 0, nullptr);
        else
            ::AppendMenuA(menu.Get(), MF_STRING | (entry.checked ? MF_CHECKED : MF_UNCHECKED), entry.id, entry.text);
    }
    const RECT icon = m_menuIcon.GetWindowRect();
    const UINT result = static_cast<UINT>(::TrackPopupMenu(
        menu.Get(), TPM_RETURNCMD | TPM_LEFTALIGN | TPM_TOPALIGN, icon.left, icon.bottom, 0, m_hWnd, nullptr));
    const ChannelMenuChoice choice = ChooseFromChannelMenu(result, m_settings.m_preferredChannel);
    switch (choice.action) {
    case ChannelMenuChoice::OpenSettings:
        ::PostMessageA(m_hWnd, WM_COMMAND, ID_TRAY_SETTINGS, 0);
        break;
    case ChannelMenuChoice::SwitchChannel:
        m_settings.m_preferredChannel = choice.channel;
        m_browser.SwitchChannel();
        break;
    case ChannelMenuChoice::Nothing:
        break;
    }
    m_settings.SavePreferredChannel(*AfxGetApp());
}

void CNimbrelDlg::OnLinkBarStep(LinkBarWord word)
{
    switch (word) {
    case LinkBarWord::Previous:
        m_browser.ShowPreviousItem();
        break;
    case LinkBarWord::Next:
        m_browser.ShowNextItem();
        break;
    case LinkBarWord::Feed:
        m_browser.ShowNextFeed();
        break;
    }
}

// The popup moved to a monitor of another scale (or the scale changed): its controls scaled, new
// fonts, then the rectangle the system suggests, whose size change lays the bottom row out again.
// The message is handled here in full, so the dialog manager scales nothing a second time. Any
// process can send it: it is taken only when the DPI it carries is the one the window now has (the
// system changes that before it sends the message), its rectangle is read only from memory that
// is there, and taken only when the system could have suggested it.
void CNimbrelDlg::OnDpiChanged(WPARAM dpis, LPARAM suggestion)
{
    const int dpi = LOWORD(dpis);
    if (dpi != HIWORD(dpis) || !IsPlausibleDpi(dpi) || dpi == m_dpi || dpi != GetWindowDpi(m_hWnd))
        return;
    RECT suggested = {};
    const bool readable = ReadOwnMemory(reinterpret_cast<const void*>(suggestion), &suggested, sizeof suggested);
    const ScreenRect suggestedRect = ToScreenRect(suggested);
    const RECT place = ToRect(RectAfterDpiChange(ToScreenRect(GetWindowRect()), m_dpi, dpi,
                                                 readable ? &suggestedRect : nullptr, ReadMonitors()));
    m_dpi = dpi;
    m_layout.ChangeDpi(dpi);
    CreateFonts();
    SetWindowPos(nullptr, place.left, place.top, place.right - place.left, place.bottom - place.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    LayOutAgain(); // the same size brings no WM_SIZE
    ::InvalidateRect(m_hWnd, nullptr, TRUE);
    m_placement.PlaceAgain(); // docked, it keeps to the watched window's edge at its new height
}

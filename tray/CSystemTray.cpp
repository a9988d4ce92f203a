#include "tray/CSystemTray.h"

#include "tray/BalloonText.h"

#include <cstddef>
#include <cstring>

// The icon record is always sent in the Windows 2000 shell layout (tip, state, balloon text,
// timeout, balloon title and flags; no GUID, no balloon icon), the one every shell since then
// accepts with balloons. In a 32-bit process it is 488 bytes. In a 64-bit process the same
// fields lie 8-aligned behind the window handle and the record is 504 bytes: a 64-bit shell
// takes any other size for the oldest layout, which has no balloons and a 64-byte tip.
static const DWORD kIconRecordSize = NOTIFYICONDATAA_V2_SIZE;
static const size_t kPointerGap = sizeof(void*) == 8 ? 16 : 0;
static_assert(offsetof(NOTIFYICONDATAA, szTip) == 24 + kPointerGap, "tip field");
static_assert(offsetof(NOTIFYICONDATAA, szInfo) == 160 + kPointerGap, "balloon text field");
static_assert(offsetof(NOTIFYICONDATAA, uTimeout) == 416 + kPointerGap, "timeout field");
static_assert(offsetof(NOTIFYICONDATAA, szInfoTitle) == 420 + kPointerGap, "balloon title field");
static_assert(offsetof(NOTIFYICONDATAA, dwInfoFlags) == 484 + kPointerGap, "balloon flags field");
static_assert(NOTIFYICONDATAA_V2_SIZE == 488 + kPointerGap, "Windows 2000 record size");
static_assert(sizeof(OSVERSIONINFOA) == 148, "version record size");

#ifndef NIIF_RESPECT_QUIET_TIME
#define NIIF_RESPECT_QUIET_TIME 0x00000080
#endif

namespace {

const char kWindowClass[] = "TrayIconClass";

bool IsLeadByte(unsigned char byte)
{
    return IsDBCSLeadByte(byte) != FALSE;
}

size_t CutLength(const char* text, size_t maxBytes)
{
    // The program's manifest makes UTF-8 the code page of narrow strings; systems that ignore
    // that keep their own, single- or double-byte.
    if (GetACP() == CP_UTF8)
        return Utf8CutLength(text, maxBytes);
    return DbcsCutLength(text, maxBytes, IsLeadByte);
}

// Fills a text field of the icon record, cutting the text so that the terminator fits.
template <size_t N>
void CopyCut(char (&field)[N], const char* text)
{
    size_t length = text ? CutLength(text, N - 1) : 0;
    if (length)
        memcpy(field, text, length);
    field[length] = '\0';
}

} // namespace

CSystemTray* CSystemTray::s_activeTray = nullptr;
const UINT CSystemTray::s_taskbarCreatedMessage = RegisterWindowMessageA("TaskbarCreated");

CSystemTray::CSystemTray()
    : m_instance(nullptr), m_hiddenWnd(nullptr), m_targetWnd(nullptr), m_enabled(FALSE), m_hidden(TRUE),
      m_removed(TRUE), m_readdArmed(FALSE), m_balloonCapable(FALSE), m_defaultItem(0),
      m_defaultByPosition(TRUE), m_creationFlags(0)
{
    s_activeTray = this;
    ZeroMemory(&m_iconData, sizeof(m_iconData));
    m_balloonCapable = IsBalloonCapableSystem();
}

CSystemTray::~CSystemTray()
{
    DeleteIcon();
    if (m_hiddenWnd)
        DestroyWindow(m_hiddenWnd);
    // Nothing of this object may be reached once it is gone.
    if (s_activeTray == this)
        s_activeTray = nullptr;
}

// Balloons came with the NT line's version 5; the 9x line never had them.
BOOL CSystemTray::IsBalloonCapableSystem()
{
    OSVERSIONINFOA version;
    ZeroMemory(&version, sizeof(version));
    version.dwOSVersionInfoSize = sizeof(version);
    GetVersionExA(&version);
    return version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion >= 5;
}

BOOL CSystemTray::Install(HINSTANCE instance, HWND owner, UINT callbackMessage, const char* tip, HICON icon,
                          UINT id)
{
    m_enabled = LOBYTE(LOWORD(GetVersion())) >= 4;
    if (!m_enabled)
        return FALSE;

    m_instance = instance;
    RegisterWindowClass();
    m_hiddenWnd = CreateWindowExA(0, kWindowClass, "", WS_POPUP, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                  CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);

    m_iconData.cbSize = kIconRecordSize;
    m_iconData.hWnd = owner ? owner : m_hiddenWnd;
    m_iconData.hIcon = icon;
    m_iconData.uCallbackMessage = callbackMessage;
    m_iconData.uID = id;
    m_iconData.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    CopyCut(m_iconData.szTip, tip);

    m_targetWnd = m_iconData.hWnd;
    m_creationFlags = m_iconData.uFlags;

    BOOL added = Shell_NotifyIconA(NIM_ADD, &m_iconData);
    m_hidden = m_removed = !added;
    m_readdArmed = added;
    return added;
}

// A second registration fails when the class exists already, which is as good.
void CSystemTray::RegisterWindowClass()
{
    WNDCLASSEXA windowClass;
    ZeroMemory(&windowClass, sizeof(windowClass));
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    windowClass.lpfnWndProc = TrayWindowProc;
    windowClass.hInstance = m_instance;
    windowClass.lpszClassName = kWindowClass;
    RegisterClassExA(&windowClass);
}

LRESULT CSystemTray::HandleIconMessage(WPARAM wParam, LPARAM lParam)
{
    if (wParam != m_iconData.uID)
        return 0;
    HWND target = m_targetWnd ? m_targetWnd : m_iconData.hWnd;
    if (!target)
        return 0;

    switch (LOWORD(lParam)) {
    case WM_RBUTTONUP:
        return ShowMenu(target);
    case WM_LBUTTONDBLCLK:
        return PostDefaultCommand(target);
    default:
        return 1;
    }
}

// Returns the loaded menu resource and its first popup, or an empty menu when either is missing.
CMenuHandle CSystemTray::LoadTrayMenu(HMENU& popup) const
{
    CMenuHandle menu(LoadMenuA(m_instance, MAKEINTRESOURCEA(m_iconData.uID)));
    popup = menu ? GetSubMenu(menu.Get(), 0) : nullptr;
    if (!popup)
        menu.Reset();
    return menu;
}

LRESULT CSystemTray::ShowMenu(HWND target)
{
    HMENU popup = nullptr;
    const CMenuHandle menu = LoadTrayMenu(popup);
    if (!menu)
        return 0;
    SetMenuDefaultItem(popup, m_defaultItem, m_defaultByPosition);

    // Without the foreground the menu would not close when the user clicks elsewhere, and
    // without a message after it the next right-click would show it only every second time.
    POINT cursor;
    GetCursorPos(&cursor);
    SetForegroundWindow(m_iconData.hWnd);
    TrackPopupMenu(popup, 0, cursor.x, cursor.y, 0, target, nullptr);
    PostMessageA(m_iconData.hWnd, WM_NULL, 0, 0);
    return 1;
}

LRESULT CSystemTray::PostDefaultCommand(HWND target)
{
    SetForegroundWindow(m_iconData.hWnd);
    UINT command = m_defaultItem;
    if (m_defaultByPosition) {
        HMENU popup = nullptr;
        const CMenuHandle menu = LoadTrayMenu(popup);
        if (!menu)
            return 0;
        command = GetMenuItemID(popup, static_cast<int>(m_defaultItem));
    }
    PostMessageA(target, WM_COMMAND, command, 0);
    return 1;
}

BOOL CSystemTray::DisplayBalloon(const char* text, const char* title, DWORD iconFlags, UINT timeoutSeconds)
{
    if (!m_balloonCapable)
        return FALSE;
    m_iconData.uFlags = NIF_INFO;
    CopyCut(m_iconData.szInfo, text);
    CopyCut(m_iconData.szInfoTitle, title);
    // No balloon comes from something the user just did: the shell keeps it back while the user
    // is busy (a full-screen program, a presentation) or in quiet hours.
    m_iconData.dwInfoFlags = iconFlags | NIIF_RESPECT_QUIET_TIME;
    m_iconData.uTimeout = timeoutSeconds * 1000;
    BOOL shown = Shell_NotifyIconA(NIM_MODIFY, &m_iconData);
    // A later add or modify with this record must not bring the balloon back.
    m_iconData.szInfo[0] = '\0';
    return shown;
}

BOOL CSystemTray::DeleteIcon()
{
    m_readdArmed = FALSE;
    if (!m_enabled || m_removed)
        return TRUE;
    m_iconData.uFlags = 0;
    if (Shell_NotifyIconA(NIM_DELETE, &m_iconData))
        m_hidden = m_removed = TRUE;
    return m_removed;
}

void CSystemTray::RestoreIcon()
{
    if (!m_readdArmed || m_hidden)
        return;
    m_iconData.uFlags = m_creationFlags;
    BOOL added = Shell_NotifyIconA(NIM_ADD, &m_iconData);
    m_hidden = !added;
    m_readdArmed = added;
}

LRESULT CALLBACK CSystemTray::TrayWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CSystemTray* tray = s_activeTray;
    if (!tray || hwnd != tray->m_hiddenWnd)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    if (message == s_taskbarCreatedMessage && s_taskbarCreatedMessage != 0) {
        tray->RestoreIcon();
        return 0;
    }
    // Only when the icon was installed without an owner does its callback come here.
    if (message == tray->m_iconData.uCallbackMessage)
        return tray->HandleIconMessage(wParam, lParam);
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

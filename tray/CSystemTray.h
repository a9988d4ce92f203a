// The program's icon in the notification area: its tip, its right-click menu (the menu resource
// whose identifier is the icon's), the menu's default command on a double-click, balloons, and
// its return when the shell creates the taskbar anew.
#pragma once
#include <windows.h>
#include <shellapi.h>

#include "fw/CScopedHandle.h"

class CSystemTray {
public:
    CSystemTray();
    virtual ~CSystemTray();

    // For the icon's callback message: a right-click shows the menu, a double-click posts the
    // command of the menu's default item to the target window.
    virtual LRESULT HandleIconMessage(WPARAM wParam, LPARAM lParam);

    // owner receives the callback message and the menu commands; with no owner, a hidden window
    // of the class receives the callback message.
    BOOL Install(HINSTANCE instance, HWND owner, UINT callbackMessage, const char* tip, HICON icon, UINT id);
    BOOL DisplayBalloon(const char* text, const char* title, DWORD iconFlags, UINT timeoutSeconds);
    BOOL DeleteIcon();
    // Adds the icon again after the taskbar was created anew, if it had been added and not deleted.
    void RestoreIcon();

    CSystemTray(const CSystemTray&) = delete;
    CSystemTray& operator=(const CSystemTray&) = delete;

private:
    NOTIFYICONDATAA m_iconData;
    HINSTANCE m_instance;
    HWND m_hiddenWnd;
    HWND m_targetWnd;
    BOOL m_enabled;
    BOOL m_hidden;
    BOOL m_removed;
    BOOL m_readdArmed;
    BOOL m_balloonCapable;
    UINT m_defaultItem;
    BOOL m_defaultByPosition;
    UINT m_creationFlags;

    static CSystemTray* s_activeTray;
    static const UINT s_taskbarCreatedMessage;

    static LRESULT CALLBACK TrayWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static BOOL IsBalloonCapableSystem();
    void RegisterWindowClass();
    CMenuHandle LoadTrayMenu(HMENU& popup) const;
    LRESULT ShowMenu(HWND target);
    LRESULT PostDefaultCommand(HWND target);
};

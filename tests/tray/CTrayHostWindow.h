// A hidden top-level window that owns a CSystemTray the way the program's popup does: the icon's
// callback message goes to the tray, and the menu commands come back here. It writes down what
// reaches it, and can close the tray menu itself.
#pragma once
#include "tray/CSystemTray.h"

#include <functional>
#include <string>
#include <vector>

class CTrayHostWindow {
public:
    static const UINT kCallbackMessage = WM_APP + 10;

    enum MenuAction { LeaveMenuOpen, DismissMenu, TypeInMenu };

    explicit CTrayHostWindow(HINSTANCE instance);
    ~CTrayHostWindow();

    HWND Handle() const { return m_hwnd; }
    CSystemTray& Tray() { return m_tray; }

    // What the window saw, one line each: "command ID posted|sent", "menu ITEMS default POSITION"
    // when the tray menu opens, "item POSITION LEFT TOP RIGHT BOTTOM" for each of its items once it
    // is on the screen, "menu closed".
    std::vector<std::string> TakeEvents();
    // "TEXT|ID;...": the items of a menu, "-" for a separator.
    static std::string DescribeMenu(HMENU menu);
    // Each event is also handed to this as it comes.
    std::function<void(const std::string&)> m_onEvent;

    // What to do once the tray menu is up and idle; TypeInMenu types m_menuKey.
    MenuAction m_menuAction = LeaveMenuOpen;
    char m_menuKey = 0;

private:
    HWND m_hwnd = nullptr;
    CSystemTray m_tray;
    std::vector<std::string> m_events;
    HMENU m_shownMenu = nullptr;

    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnMenuShown(HMENU menu);
    void OnMenuIdle();
    void RecordItemRectangles();
    void Record(const std::string& event);
};

#include "tests/tray/CTrayHostWindow.h"

namespace {

const char kClassName[] = "TrayHostWindow";

} // namespace

std::string CTrayHostWindow::DescribeMenu(HMENU menu)
{
    std::string text;
    for (int position = 0; position < GetMenuItemCount(menu); ++position) {
        if (position)
            text += ';';
        char label[128] = "";
        MENUITEMINFOA item;
        ZeroMemory(&item, sizeof(item));
        item.cbSize = sizeof(item);
        item.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING;
        item.dwTypeData = label;
        item.cch = sizeof(label);
        GetMenuItemInfoA(menu, static_cast<UINT>(position), TRUE, &item);
        if (item.fType & MFT_SEPARATOR)
            text += "-";
        else
            text += std::string(label) + "|" + std::to_string(item.wID);
    }
    return text;
}

CTrayHostWindow::CTrayHostWindow(HINSTANCE instance)
{
    WNDCLASSA windowClass;
    ZeroMemory(&windowClass, sizeof(windowClass));
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kClassName;
    RegisterClassA(&windowClass);
    m_hwnd = CreateWindowExA(WS_EX_TOOLWINDOW, kClassName, "Tray host", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr,
                             instance, this);
}

CTrayHostWindow::~CTrayHostWindow()
{
    if (m_hwnd)
        DestroyWindow(m_hwnd);
}

std::vector<std::string> CTrayHostWindow::TakeEvents()
{
    std::vector<std::string> events;
    events.swap(m_events);
    return events;
}

void CTrayHostWindow::Record(const std::string& event)
{
    m_events.push_back(event);
    if (m_onEvent)
        m_onEvent(event);
}

LRESULT CALLBACK CTrayHostWindow::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        static_cast<CTrayHostWindow*>(create->lpCreateParams)->m_hwnd = hwnd;
    }
    auto self = reinterpret_cast<CTrayHostWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (!self || message == WM_NCDESTROY)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    return self->OnMessage(message, wParam, lParam);
}

LRESULT CTrayHostWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case kCallbackMessage:
        return m_tray.HandleIconMessage(wParam, lParam);
    case WM_COMMAND:
        Record("command " + std::to_string(LOWORD(wParam)) + (InSendMessage() ? " sent" : " posted"));
        return 0;
    case WM_INITMENUPOPUP:
        OnMenuShown(reinterpret_cast<HMENU>(wParam));
        return 0;
    case WM_ENTERIDLE:
        if (wParam == MSGF_MENU)
            OnMenuIdle();
        return 0;
    case WM_EXITMENULOOP:
        m_shownMenu = nullptr;
        Record("menu closed");
        return 0;
    default:
        return DefWindowProcA(m_hwnd, message, wParam, lParam);
    }
}

void CTrayHostWindow::OnMenuShown(HMENU menu)
{
    m_shownMenu = menu;
    UINT defaultPosition = GetMenuDefaultItem(menu, TRUE, 0);
    Record("menu " + DescribeMenu(menu) + " default " + std::to_string(static_cast<int>(defaultPosition)));
}

void CTrayHostWindow::OnMenuIdle()
{
    if (m_shownMenu) {
        RecordItemRectangles();
        m_shownMenu = nullptr;
    }
    MenuAction action = m_menuAction;
    m_menuAction = LeaveMenuOpen;
    if (action == DismissMenu)
        EndMenu();
    else if (action == TypeInMenu)
        PostMessageA(m_hwnd, WM_CHAR, static_cast<WPARAM>(m_menuKey), 0);
}

void CTrayHostWindow::RecordItemRectangles()
{
    for (int position = 0; position < GetMenuItemCount(m_shownMenu); ++position) {
        RECT rect;
        if (!GetMenuItemRect(nullptr, m_shownMenu, static_cast<UINT>(position), &rect))
            continue;
        Record("item " + std::to_string(position) + " " + std::to_string(rect.left) + " " + std::to_string(rect.top) +
               " " + std::to_string(rect.right) + " " + std::to_string(rect.bottom));
    }
}

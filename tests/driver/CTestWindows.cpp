#include "tests/driver/CTestWindows.h"

#include <vector>

namespace {
const char kClassName[] = "LullcastTestWindow";
}

bool CTestWindows::registerClass(HINSTANCE instance)
{
    m_instance = instance;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = &CTestWindows::windowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kClassName;
    return RegisterClassA(&wc) != 0;
}

LRESULT CALLBACK CTestWindows::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND CTestWindows::create(const std::string& title, int x, int y, int width, int height, bool activate)
{
    HWND window = CreateWindowExA(0, kClassName, title.c_str(), WS_OVERLAPPEDWINDOW | (activate ? WS_VISIBLE : 0),
                                  x, y, width, height, nullptr, nullptr, m_instance, nullptr);
    if (window && !activate)
        ShowWindow(window, SW_SHOWNOACTIVATE);
    if (window)
        m_windows.insert(window);
    return window;
}

HWND CTestWindows::cover(int x, int y, int width, int height)
{
    HWND window = CreateWindowExA(0, kClassName, "Full screen", WS_POPUP | WS_VISIBLE, x, y, width, height, nullptr,
                                  nullptr, m_instance, nullptr);
    if (!window)
        return nullptr;
    m_windows.insert(window);
    SetForegroundWindow(window);
    return window;
}

bool CTestWindows::destroy(HWND window)
{
    if (!owns(window))
        return false;
    m_windows.erase(window);
    return DestroyWindow(window) != FALSE;
}

int CTestWindows::destroyAll()
{
    std::vector<HWND> all(m_windows.begin(), m_windows.end());
    int count = 0;
    for (HWND window : all)
        count += destroy(window) ? 1 : 0;
    return count;
}

bool CTestWindows::show(HWND window, int command)
{
    if (!owns(window))
        return false;
    ShowWindow(window, command);
    return true;
}

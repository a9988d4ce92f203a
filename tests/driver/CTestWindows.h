#pragma once
#include <windows.h>

#include <set>
#include <string>

// The plain top-level windows that the driver puts on the desktop in place of the programs whose
// long operations Lullcast watches (copy dialogs, print jobs, downloads).
class CTestWindows
{
public:
    bool registerClass(HINSTANCE instance);
    // Shown and activated, or (activate false) shown without activation.
    HWND create(const std::string& title, int x, int y, int width, int height, bool activate = true);
    // A borderless window over that rectangle, brought to the foreground, as a full-screen
    // program (a game, a presentation, a video) shows itself.
    HWND cover(int x, int y, int width, int height);
    bool owns(HWND window) const { return m_windows.count(window) != 0; }
    bool destroy(HWND window);
    int destroyAll();
    bool show(HWND window, int command);

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HINSTANCE m_instance = nullptr;
    std::set<HWND> m_windows;
};

#pragma once
#include <windows.h>

#include <string>
#include <vector>

// Looks at any window on the desktop, the driver's own or another process's, the way a test needs
// to see it: place, visibility, z-order band, texts and hit-test answers.
class CWindowProbe
{
public:
    struct Child {
        HWND window;
        int id;
        std::string className;
        std::string text;
    };
    struct Counts {
        int windows;
        int processes;
    };

    static HWND findTopLevel(const std::string& title);
    // Top-level windows with exactly this title, and the number of processes owning them.
    static Counts countTopLevel(const std::string& title);
    static bool isTopmost(HWND window);
    static DWORD processOf(HWND window);
    // The text of a child control, read with WM_GETTEXT as any program would.
    static bool controlText(HWND dialog, int id, std::string& text);
    static std::vector<Child> children(HWND parent);
    // The text as UTF-8, asked for in UTF-16.
    static bool readWideText(HWND window, std::string& text);
    // Distinct colours of the window's area on the screen, counted up to limit.
    static int countColours(HWND window, int limit);
    // The x ranges (from the window's left edge, end outside) of the columns that show anything
    // but the colour of the window's top-left pixel: where a line of text has ink.
    static std::vector<std::pair<int, int>> inkColumns(HWND window);
    // The colours of the window's client area on the screen (0xRRGGBB) with their pixel counts, most
    // first, at most `top` of them.
    static std::vector<std::pair<DWORD, int>> colourCounts(HWND window, int top);
    static std::vector<std::string> visibleTooltipTexts();
    static LRESULT hitTest(HWND window, int x, int y);
    // A screen point, well inside its area, where the window answers the hit-test code; false if none.
    static bool findHitPoint(HWND window, LRESULT code, POINT& point);

private:
    static std::vector<DWORD> screenPixels(HWND window, int& width, int& height);
    static bool readText(HWND window, std::string& text);
};

// The desktop's monitors as the placement arithmetic takes them, and the conversions between
// Win32 rectangles and portable ones.
#pragma once
#include <windows.h>

#include <vector>

#include "fw/ScreenRect.h"

inline ScreenRect ToScreenRect(const RECT& rect)
{
    return {rect.left, rect.top, rect.right, rect.bottom};
}

inline RECT ToRect(const ScreenRect& rect)
{
    return {rect.left, rect.top, rect.right, rect.bottom};
}

// Every monitor of the desktop with its work area, the primary one first (so that it wins
// ties), then in the system's order. Empty only when the system lists none.
std::vector<MonitorAreas> ReadMonitors();

// The rectangle of the monitor that holds most of the window (the nearest when none does);
// empty when it cannot be read.
ScreenRect MonitorRectOfWindow(HWND window);

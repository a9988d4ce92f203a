// Where the popup goes on the desktop. Pure arithmetic over rectangles in virtual-screen
// coordinates; the window code reads the monitors and applies the answer.
//
// Beside a watched window the popup docks directly below it when it fits inside the work area
// of the monitor that holds most of that window; else directly above it; else inside the
// window's bottom edge. It is as wide as the window, clipped to that work area, and never lies
// outside it. A popup View shows at its remembered place is brought onto a monitor that still
// exists.
#pragma once
#include <vector>

#include "fw/ScreenRect.h"

// The monitor that holds the largest part of the rectangle; for a rectangle on none (a window
// moved off every screen, or a monitor unplugged since), the nearest one. Ties go to the
// earlier monitor of the list. Null when the list is empty.
const MonitorAreas* MonitorOf(const ScreenRect& rect, const std::vector<MonitorAreas>& monitors);

// The popup's rectangle beside the watched window. popupHeight is the popup's own height (kept
// unless the work area is lower); smallestWidth the least width the popup can take (0 for no
// limit): below a narrower window the popup is that wide, still inside the work area. A window
// wholly beside the work area (on no monitor) lends the popup its width only. Without monitors
// the popup goes directly below the window, as wide as it.
ScreenRect PlacePopupBeside(const ScreenRect& watched, int popupHeight, int smallestWidth,
                            const std::vector<MonitorAreas>& monitors);

// The remembered rectangle itself when it lies inside the work area of the monitor that holds
// most of it; otherwise moved (and made smaller where it is larger than that work area) just
// enough to lie inside it. Without monitors it is kept.
ScreenRect BringOntoMonitor(const ScreenRect& remembered, const std::vector<MonitorAreas>& monitors);

// The popup's rectangle after its DPI changed from oldDpi to newDpi. The system suggests one
// (suggested, null when none could be read); any process may send the message, so only a
// suggestion that could come from the system is taken (IsPlausibleDpiSuggestion). Otherwise the
// current rectangle keeps its top-left corner and is scaled. Nothing changes (the current
// rectangle) when either DPI is none a monitor can have.
ScreenRect RectAfterDpiChange(const ScreenRect& current, int oldDpi, int newDpi, const ScreenRect* suggested,
                              const std::vector<MonitorAreas>& monitors);

// Whether a DPI is one a monitor can have (from 50 % to 500 % of 96).
bool IsPlausibleDpi(int dpi);

// Whether a rectangle could be one the system suggests for a window whose DPI changed: not
// empty, on the work area of a monitor, and no larger than the monitors together.
bool IsPlausibleDpiSuggestion(const ScreenRect& suggested, const std::vector<MonitorAreas>& monitors);

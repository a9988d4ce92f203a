// The popup's colours as the user's settings ask for them now: read at start and again whenever
// the system's colours or settings change, and asked for by each part of the popup as it paints.
#pragma once
#include <windows.h>

#include "popup/PopupColours.h"

class CPopupTheme {
public:
    // Reads high contrast, the apps theme and the system colours again; true when the colours changed.
    static bool Read();
    static PopupTheme Theme() { return s_theme; }
    static const PopupColours& Colours() { return s_colours; }

private:
    static PopupTheme s_theme;
    static PopupColours s_colours;
};

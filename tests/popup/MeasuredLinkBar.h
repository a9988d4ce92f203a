// The link bar's pieces as drawn, measured under Wine 8.0 by `DesktopProbe link-bar` (the popup's
// link font, "Arial" 8 points made as the popup makes it, at 96 and at 144 DPI; Wine has no Arial
// and draws it in DejaVu Sans). desktop_wine.py measures them again and fails when Wine's figures
// no longer match these, and checks there that the control's ink falls inside the ranges that
// LayOutLinkBar gives for them.
#pragma once

struct MeasuredLinkBar {
    int dpi;
    int previous, next, feed, separator; // "Previous", "Next", "Feed", " | "
    int whole;                           // "Previous | Next | Feed | " in one piece
};

const MeasuredLinkBar kMeasuredLinkBars[] = {
    {96, 49, 26, 27, 12, 138},
    {144, 68, 37, 39, 15, 189},
};

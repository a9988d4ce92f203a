// Measures the pieces of the link bar's text in the font the control draws with (the one it
// was given by WM_SETFONT), on the control's own device context, so that LayOutLinkBar
// (popup/LinkBarLayout.h) lays it out as drawn at the DPI the program runs at. Measure again
// after the font changes (a new DPI). The font itself is made here too, so that the popup and
// the tests of its link bar draw the same.
#pragma once
#include <windows.h>

#include "popup/LinkBarLayout.h"

LinkBarPieceWidths MeasureLinkBarPieces(HWND linkBar);

// The link bar's font (popup/PopupFonts.h) at the given DPI; the caller deletes it.
HFONT CreateLinkBarFont(int dpi);

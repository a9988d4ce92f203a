// Measures the pieces of the link bar's text in the font the control draws with (the one it
// was given by WM_SETFONT), on the control's own device context, so that LayOutLinkBar
// (popup/LinkBarLayout.h) lays it out as drawn at the DPI the program runs at. Measure again
// after the font changes (a new DPI).
#pragma once
#include <windows.h>

#include "popup/LinkBarLayout.h"

LinkBarPieceWidths MeasureLinkBarPieces(HWND linkBar);

// The link bar "Previous | Next | Feed | " laid out from its text as drawn. The window code
// measures the pieces of the text in the link bar's own font (MeasureLinkBarPieces,
// popup/LinkBarMetrics.h) at the DPI it runs at; this arithmetic gives the bar's width and
// place, right-aligned so that it ends where the menu icon begins, and the x range of each word
// and separator as the control draws them: the bar is exactly as wide as its text, so the
// right-aligned text starts at its left edge. A click hits a word only on the word itself; the
// separators lead nowhere.
#pragma once
#include <optional>

#include "popup/ItemNavigation.h"

// The pieces of the text, in order: each word followed by the separator.
const char* const kLinkBarWords[] = {"Previous", "Next", "Feed"};
const char* const kLinkBarSeparator = " | ";
const int kLinkBarWordCount = 3;

// Widths in pixels of the pieces as drawn in the link bar's font.
struct LinkBarPieceWidths {
    int words[kLinkBarWordCount] = {}; // "Previous", "Next", "Feed"
    int separator = 0;                 // " | "
};

// x from begin (inside) to end (outside), from the bar's left edge.
struct PixelSpan {
    int begin = 0;
    int end = 0;
    bool Contains(int x) const { return x >= begin && x < end; }
    int Middle() const { return begin + (end - begin) / 2; }
};

struct LinkBarLayout {
    int left = 0;  // the bar's left edge, in the popup's client coordinates
    int width = 0; // the bar's width: that of its text
    PixelSpan words[kLinkBarWordCount]; // in the order of LinkBarWord
    PixelSpan separators[kLinkBarWordCount]; // the separator after each word
};

// The link bar's layout for its measured pieces, ending at iconLeft (the menu icon's left
// edge in the popup's client coordinates). A negative width counts as none.
LinkBarLayout LayOutLinkBar(const LinkBarPieceWidths& widths, int iconLeft);

// The word under a point x pixels from the bar's left edge; none on a separator or beyond
// the text.
std::optional<LinkBarWord> LinkBarWordAt(const LinkBarLayout& layout, int x);

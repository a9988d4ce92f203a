// The popup's fonts, named once: one face for all its text, and the sizes in points of the link
// bar, of the item view's control font and of the item's rich text. Portable: the window code
// makes the fonts at the popup's DPI, the item texts write the face and size into their RTF.
#pragma once

constexpr char kPopupFontFace[] = "Arial";
// A font's height in pixels is its points times the DPI over this.
constexpr int kPointsPerInch = 72;
// The link bar's words and separators.
constexpr int kLinkBarFontPoints = 8;
// The item view control's own font, for what its rich text does not size.
constexpr int kItemViewFontPoints = 9;
// The item's title and description in the view's rich text.
constexpr int kItemTextPoints = 10;

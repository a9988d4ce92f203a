// The popup's colours in each theme: its own light scheme, its own dark scheme when the user's
// apps are dark, and the system's colours when high contrast is on (then nothing of its own).
// Colours are 0x00BBGGRR, as COLORREF holds them. Portable: the window code reads the facts and
// the system colours and applies what these functions give.
#pragma once
#include <cstdint>

using Rgb = std::uint32_t;

constexpr Rgb MakeRgb(unsigned r, unsigned g, unsigned b)
{
    return (r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16);
}

// The items' dark red: the text colour of the light scheme, and the one the item view's rich
// text is written in before it takes the theme's.
constexpr Rgb kTitleRed = MakeRgb(160, 0, 0);
// The item view's white background in the light scheme.
constexpr Rgb kViewWhite = MakeRgb(255, 255, 255);

enum class PopupTheme { Light, Dark, HighContrast };

// The system colours a high-contrast scheme takes, and those the light scheme leaves as they are.
struct SystemColours {
    Rgb window, windowText, hotLight, highlight, buttonFace, buttonText;
};

struct PopupColours {
    Rgb face;      // the popup's background, behind the status line and the link bar
    Rgb view;      // the item view's background
    Rgb itemText;  // the item's title and description
    Rgb link;      // the link bar's words
    Rgb status;    // the status line
    Rgb focus;     // the focus frames
};

// High contrast wins; a dark apps theme (AppsUseLightTheme read as 0) gives the dark scheme.
PopupTheme ChoosePopupTheme(bool highContrast, bool appsThemeKnown, std::uint32_t appsUseLightTheme);
PopupColours ColoursFor(PopupTheme theme, const SystemColours& system);

// WCAG 2 relative luminance and contrast ratio (1 to 21).
double RelativeLuminance(Rgb colour);
double ContrastRatio(Rgb a, Rgb b);

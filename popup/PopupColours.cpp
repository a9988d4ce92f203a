#include "popup/PopupColours.h"

#include <algorithm>
#include <cmath>

namespace {

// The light scheme: dark red items on white, blue links, as the popup always looked.
const Rgb kLightView = kViewWhite;
const Rgb kLightItemText = kTitleRed;
const Rgb kLightLink = MakeRgb(0, 0, 250);

// The dark scheme: light text on near black; the title keeps a red hue, light enough to read.
const Rgb kDarkFace = MakeRgb(32, 32, 32);
const Rgb kDarkView = MakeRgb(24, 24, 24);
const Rgb kDarkItemText = MakeRgb(255, 150, 140);
const Rgb kDarkLink = MakeRgb(140, 190, 255);
const Rgb kDarkStatus = MakeRgb(220, 220, 220);
const Rgb kDarkFocus = MakeRgb(240, 240, 240);

double Channel(unsigned value)
{
    const double c = value / 255.0;
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

} // namespace

PopupTheme ChoosePopupTheme(bool highContrast, bool appsThemeKnown, std::uint32_t appsUseLightTheme)
{
    if (highContrast)
        return PopupTheme::HighContrast;
    return appsThemeKnown && appsUseLightTheme == 0 ? PopupTheme::Dark : PopupTheme::Light;
}

PopupColours ColoursFor(PopupTheme theme, const SystemColours& system)
{
    switch (theme) {
    case PopupTheme::HighContrast:
        return {system.window, system.window, system.windowText, system.hotLight, system.windowText, system.highlight};
    case PopupTheme::Dark:
        return {kDarkFace, kDarkView, kDarkItemText, kDarkLink, kDarkStatus, kDarkFocus};
    case PopupTheme::Light:
    default:
        return {system.buttonFace, kLightView, kLightItemText, kLightLink, system.buttonText, system.windowText};
    }
}

double RelativeLuminance(Rgb colour)
{
    return 0.2126 * Channel(colour & 0xFF) + 0.7152 * Channel((colour >> 8) & 0xFF) +
           0.0722 * Channel((colour >> 16) & 0xFF);
}

double ContrastRatio(Rgb a, Rgb b)
{
    const double la = RelativeLuminance(a), lb = RelativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

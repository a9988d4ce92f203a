#include "popup/PopupColours.h"

#include <gtest/gtest.h>

namespace {

const SystemColours kSystem = {MakeRgb(0, 0, 0), MakeRgb(255, 255, 0), MakeRgb(0, 255, 255), MakeRgb(0, 128, 0),
                               MakeRgb(240, 240, 240), MakeRgb(0, 0, 0)};
// Windows' default colours, which the light scheme keeps for its face and status line.
const SystemColours kDefault = {MakeRgb(255, 255, 255), MakeRgb(0, 0, 0), MakeRgb(0, 102, 204), MakeRgb(0, 120, 215),
                                MakeRgb(240, 240, 240), MakeRgb(0, 0, 0)};

} // namespace

TEST(PopupColours, TheContrastArithmeticFollowsTheWcagFormula)
{
    EXPECT_DOUBLE_EQ(ContrastRatio(MakeRgb(0, 0, 0), MakeRgb(255, 255, 255)), 21.0);
    EXPECT_DOUBLE_EQ(ContrastRatio(MakeRgb(255, 255, 255), MakeRgb(0, 0, 0)), 21.0) << "either order";
    EXPECT_DOUBLE_EQ(ContrastRatio(MakeRgb(119, 119, 119), MakeRgb(119, 119, 119)), 1.0);
    // #777777 on white is the known borderline case: 4.48, just short of 4.5.
    EXPECT_NEAR(ContrastRatio(MakeRgb(119, 119, 119), MakeRgb(255, 255, 255)), 4.48, 0.01);
    EXPECT_NEAR(RelativeLuminance(MakeRgb(255, 0, 0)), 0.2126, 1e-9) << "red's weight";
    EXPECT_NEAR(RelativeLuminance(MakeRgb(0, 0, 255)), 0.0722, 1e-9) << "blue's weight: the channels are in COLORREF order";
}

TEST(PopupColours, HighContrastWinsAndADarkAppsThemeGivesTheDarkScheme)
{
    EXPECT_EQ(ChoosePopupTheme(true, true, 0), PopupTheme::HighContrast);
    EXPECT_EQ(ChoosePopupTheme(false, true, 0), PopupTheme::Dark);
    EXPECT_EQ(ChoosePopupTheme(false, true, 1), PopupTheme::Light);
    EXPECT_EQ(ChoosePopupTheme(false, false, 0), PopupTheme::Light) << "no value: light, as Windows takes it";
}

TEST(PopupColours, HighContrastTakesOnlyTheSystemsColours)
{
    const PopupColours c = ColoursFor(PopupTheme::HighContrast, kSystem);
    EXPECT_EQ(c.face, kSystem.window);
    EXPECT_EQ(c.view, kSystem.window);
    EXPECT_EQ(c.itemText, kSystem.windowText);
    EXPECT_EQ(c.status, kSystem.windowText);
    EXPECT_EQ(c.link, kSystem.hotLight);
    EXPECT_EQ(c.focus, kSystem.highlight);
}

TEST(PopupColours, EveryTextOfTheOwnSchemesHasAtLeastFourAndAHalfToOne)
{
    for (PopupTheme theme : {PopupTheme::Light, PopupTheme::Dark}) {
        const PopupColours c = ColoursFor(theme, kDefault);
        EXPECT_GE(ContrastRatio(c.itemText, c.view), 4.5) << static_cast<int>(theme);
        EXPECT_GE(ContrastRatio(c.link, c.face), 4.5) << static_cast<int>(theme);
        EXPECT_GE(ContrastRatio(c.status, c.face), 4.5) << static_cast<int>(theme);
        EXPECT_GE(ContrastRatio(c.focus, c.view), 4.5) << static_cast<int>(theme);
    }
    const PopupColours dark = ColoursFor(PopupTheme::Dark, kSystem);
    EXPECT_LT(RelativeLuminance(dark.view), 0.05) << "dark means dark";
}

#include "popup/PopupPlacement.h"

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

std::ostream& operator<<(std::ostream& out, const ScreenRect& r)
{
    return out << "(" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << ")";
}

namespace {

const int kHeight = 126; // the popup's height at 96 DPI
using Monitors = std::vector<MonitorAreas>;

ScreenRect Rect(int left, int top, int right, int bottom)
{
    return {left, top, right, bottom};
}

// 1280 x 1024 with a taskbar of 30 pixels on the given edge.
MonitorAreas ScreenWithTaskbar(char edge)
{
    const ScreenRect monitor = Rect(0, 0, 1280, 1024);
    switch (edge) {
    case 'T': return {monitor, Rect(0, 30, 1280, 1024)};
    case 'L': return {monitor, Rect(30, 0, 1280, 1024)};
    case 'R': return {monitor, Rect(0, 0, 1250, 1024)};
    default: return {monitor, Rect(0, 0, 1280, 994)};
    }
}

const Monitors kOneScreen = {ScreenWithTaskbar('B')};

ScreenRect Place(const ScreenRect& watched, const Monitors& monitors, int smallest = 0)
{
    return PlacePopupBeside(watched, kHeight, smallest, monitors);
}

} // namespace

TEST(PopupPlacement, DocksBelowTheWindowWhenItFits)
{
    EXPECT_EQ(Place(Rect(100, 100, 600, 300), kOneScreen), Rect(100, 300, 600, 426));
    // Exactly down to the taskbar still fits.
    EXPECT_EQ(Place(Rect(100, 500, 600, 868), kOneScreen), Rect(100, 868, 600, 994));
}

TEST(PopupPlacement, GoesAboveAWindowAtTheBottomOfTheScreen)
{
    // The window's bottom 10 pixels above the screen's: below would reach 1140.
    EXPECT_EQ(Place(Rect(200, 800, 700, 1014), kOneScreen), Rect(200, 674, 700, 800));
    // One pixel too low for below, and above just fits at the top.
    EXPECT_EQ(Place(Rect(0, 126, 400, 869), kOneScreen), Rect(0, 0, 400, 126));
}

TEST(PopupPlacement, GoesInsideTheBottomEdgeWhenNeitherFits)
{
    EXPECT_EQ(Place(Rect(100, 50, 600, 950), kOneScreen), Rect(100, 824, 600, 950));
    // A maximised window reaches past the work area by its frame.
    EXPECT_EQ(Place(Rect(-8, -8, 1288, 1002), kOneScreen), Rect(0, 868, 1280, 994));
    // A window hanging below the screen: at the bottom of the work area.
    EXPECT_EQ(Place(Rect(300, 100, 800, 1200), kOneScreen), Rect(300, 868, 800, 994));
    // A popup higher than the work area is as high as it.
    EXPECT_EQ(PlacePopupBeside(Rect(10, 10, 500, 300), 2000, 0, kOneScreen), Rect(10, 0, 500, 994));
}

TEST(PopupPlacement, WidthIsTheWindowsClippedToTheWorkArea)
{
    EXPECT_EQ(Place(Rect(-200, 100, 300, 300), kOneScreen), Rect(0, 300, 300, 426));
    EXPECT_EQ(Place(Rect(1000, 100, 1500, 300), kOneScreen), Rect(1000, 300, 1280, 426));
    // Below a window narrower than the popup can be, the popup keeps its least width inside
    // the work area.
    EXPECT_EQ(Place(Rect(1220, 100, 1270, 200), kOneScreen, 120), Rect(1160, 200, 1280, 326));
    EXPECT_EQ(Place(Rect(400, 100, 450, 200), kOneScreen, 120), Rect(400, 200, 520, 326));
}

TEST(PopupPlacement, KeepsOffTheTaskbarOnEachEdge)
{
    const ScreenRect low = Rect(0, 900, 1280, 1000);
    const ScreenRect tall = Rect(0, 80, 1280, 1000);
    // Top: below does not fit, above does; a tall window takes it inside, under the taskbar.
    EXPECT_EQ(Place(low, {ScreenWithTaskbar('T')}), Rect(0, 774, 1280, 900));
    EXPECT_EQ(Place(tall, {ScreenWithTaskbar('T')}), Rect(0, 874, 1280, 1000));
    EXPECT_EQ(Place(Rect(0, 40, 500, 60), {ScreenWithTaskbar('T')}), Rect(0, 60, 500, 186));
    // Left and right: the width stops at the taskbar.
    EXPECT_EQ(Place(low, {ScreenWithTaskbar('L')}), Rect(30, 774, 1280, 900));
    EXPECT_EQ(Place(low, {ScreenWithTaskbar('R')}), Rect(0, 774, 1250, 900));
    // Bottom: a window that ends on the taskbar gets the popup above it.
    EXPECT_EQ(Place(Rect(100, 700, 600, 1000), {ScreenWithTaskbar('B')}), Rect(100, 574, 600, 700));
}

TEST(PopupPlacement, WorksInWorkAreasWithNegativeCoordinates)
{
    // A monitor left of the primary one and a monitor above it.
    const Monitors monitors = {{Rect(0, 0, 1920, 1080), Rect(0, 0, 1920, 1040)},
                               {Rect(-1920, 0, 0, 1080), Rect(-1920, 0, 0, 1040)},
                               {Rect(0, -1200, 1600, 0), Rect(0, -1200, 1600, -40)}};
    EXPECT_EQ(Place(Rect(-1000, 100, -400, 300), monitors), Rect(-1000, 300, -400, 426));
    EXPECT_EQ(Place(Rect(-1000, 900, -400, 1000), monitors), Rect(-1000, 774, -400, 900));
    EXPECT_EQ(Place(Rect(-2000, -30, -1500, 1100), monitors), Rect(-1920, 914, -1500, 1040));
    EXPECT_EQ(Place(Rect(100, -1000, 700, -100), monitors), Rect(100, -1126, 700, -1000));
    EXPECT_EQ(Place(Rect(100, -1100, 700, -300), monitors), Rect(100, -300, 700, -174));
}

TEST(PopupPlacement, StaysOnTheMonitorThatHoldsMostOfTheWindow)
{
    const Monitors sideBySide = {{Rect(0, 0, 1920, 1080), Rect(0, 0, 1920, 1040)},
                                 {Rect(1920, 0, 3840, 1080), Rect(1920, 0, 3840, 1080)}};
    // Spanning both: the second holds more; the width is what lies on it.
    EXPECT_EQ(Place(Rect(1700, 500, 2300, 700), sideBySide), Rect(1920, 700, 2300, 826));
    EXPECT_EQ(Place(Rect(1500, 500, 2000, 700), sideBySide), Rect(1500, 700, 1920, 826));
    // The second has no taskbar: down to its very bottom.
    EXPECT_EQ(Place(Rect(2000, 800, 2600, 954), sideBySide), Rect(2000, 954, 2600, 1080));

    const Monitors stacked = {{Rect(0, 0, 1920, 1080), Rect(0, 0, 1920, 1040)},
                              {Rect(0, 1080, 1920, 2160), Rect(0, 1080, 1920, 2120)}};
    // Near the bottom of the upper monitor the popup goes above, not onto the lower monitor.
    EXPECT_EQ(Place(Rect(100, 700, 900, 1000), stacked), Rect(100, 574, 900, 700));
    // Mostly on the lower monitor: below it there.
    EXPECT_EQ(Place(Rect(100, 1000, 900, 1400), stacked), Rect(100, 1400, 900, 1526));
    // Half and half goes to the first of the list.
    EXPECT_EQ(Place(Rect(100, 980, 900, 1180), stacked), Rect(100, 854, 900, 980));
}

TEST(PopupPlacement, WindowOnNoMonitorGetsThePopupOnTheNearestOne)
{
    const Monitors sideBySide = {{Rect(0, 0, 1920, 1080), Rect(0, 0, 1920, 1040)},
                                 {Rect(1920, 0, 3840, 1080), Rect(1920, 0, 3840, 1040)}};
    // Off the right of the second monitor, keeping the window's width.
    EXPECT_EQ(Place(Rect(4000, 300, 4500, 400), sideBySide), Rect(3340, 400, 3840, 526));
    // Where a minimised window lies.
    EXPECT_EQ(Place(Rect(-32000, -32000, -31840, -31973), sideBySide), Rect(0, 0, 160, 126));
    // No monitors known: below the window as it is.
    EXPECT_EQ(Place(Rect(100, 2000, 600, 2100), {}), Rect(100, 2100, 600, 2226));
}

TEST(PopupPlacement, MonitorOfPicksTheLargestShareElseTheNearest)
{
    const Monitors monitors = {{Rect(0, 0, 100, 100), Rect(0, 0, 100, 90)},
                               {Rect(100, 0, 300, 100), Rect(100, 0, 300, 100)}};
    EXPECT_EQ(MonitorOf(Rect(50, 10, 160, 20), monitors), &monitors[1]);
    EXPECT_EQ(MonitorOf(Rect(40, 10, 150, 20), monitors), &monitors[0]);
    EXPECT_EQ(MonitorOf(Rect(-50, 500, -10, 600), monitors), &monitors[0]);
    EXPECT_EQ(MonitorOf(Rect(320, -90, 400, -10), monitors), &monitors[1]);
    EXPECT_EQ(MonitorOf(Rect(0, 0, 10, 10), {}), nullptr);
}

TEST(RememberedPlace, StaysWhereItIsOnAMonitorThatStillExists)
{
    const Monitors monitors = {{Rect(0, 0, 1920, 1080), Rect(0, 0, 1920, 1040)},
                               {Rect(-1280, -200, 0, 824), Rect(-1280, -200, 0, 824)}};
    EXPECT_EQ(BringOntoMonitor(Rect(100, 100, 700, 226), monitors), Rect(100, 100, 700, 226));
    EXPECT_EQ(BringOntoMonitor(Rect(-900, -150, -300, -24), monitors), Rect(-900, -150, -300, -24));
    EXPECT_EQ(BringOntoMonitor(Rect(5, 5, 25, 25), {}), Rect(5, 5, 25, 25));
}

TEST(RememberedPlace, IsBroughtBackFromAMonitorUnpluggedSince)
{
    // Once on a monitor right of this one, and on one below it.
    EXPECT_EQ(BringOntoMonitor(Rect(2100, 300, 2700, 426), kOneScreen), Rect(680, 300, 1280, 426));
    EXPECT_EQ(BringOntoMonitor(Rect(300, 1500, 900, 1626), kOneScreen), Rect(300, 868, 900, 994));
    EXPECT_EQ(BringOntoMonitor(Rect(-3000, -3000, -2400, -2874), kOneScreen), Rect(0, 0, 600, 126));
    // Partly under the taskbar, or larger than the work area.
    EXPECT_EQ(BringOntoMonitor(Rect(300, 900, 900, 1026), kOneScreen), Rect(300, 868, 900, 994));
    EXPECT_EQ(BringOntoMonitor(Rect(-10, 10, 1500, 136), kOneScreen), Rect(0, 10, 1280, 136));
}

// Any process can send WM_DPICHANGED: the rectangle it carries is taken only when the system
// could have sent it, and a DPI no monitor has changes nothing.
TEST(RectAfterDpiChange, TakesAPlausibleSuggestionAndScalesOtherwise)
{
    const ScreenRect current = Rect(100, 300, 700, 426);
    const ScreenRect suggested = Rect(150, 320, 1050, 509);
    EXPECT_EQ(RectAfterDpiChange(current, 96, 144, &suggested, kOneScreen), suggested);
    EXPECT_EQ(RectAfterDpiChange(current, 96, 144, nullptr, kOneScreen), Rect(100, 300, 1000, 489));
    const ScreenRect empty = Rect(10, 10, 10, 400);
    EXPECT_EQ(RectAfterDpiChange(current, 96, 144, &empty, kOneScreen), Rect(100, 300, 1000, 489));
    const ScreenRect huge = Rect(0, 0, 100000, 200);
    EXPECT_EQ(RectAfterDpiChange(current, 96, 144, &huge, kOneScreen), Rect(100, 300, 1000, 489));
    // Two monitors side by side hold a suggestion wider than one of them.
    const Monitors two = {ScreenWithTaskbar('B'), {Rect(1280, 0, 2560, 1024), Rect(1280, 0, 2560, 1024)}};
    const ScreenRect wide = Rect(0, 300, 2000, 426);
    EXPECT_EQ(RectAfterDpiChange(current, 96, 96 * 2, &wide, two), wide);
    EXPECT_EQ(RectAfterDpiChange(current, 96, 65535, &suggested, kOneScreen), current);
    EXPECT_EQ(RectAfterDpiChange(current, 0, 144, &suggested, kOneScreen), current);
    EXPECT_EQ(RectAfterDpiChange(current, 96, 47, &suggested, kOneScreen), current);
}

// A forged WM_DPICHANGED: its rectangle is refused when it lies on no monitor's work area, when
// it spans more than an int holds, or when there are no monitors to check it against.
TEST(RectAfterDpiChange, RefusesSuggestionsTheSystemCouldNotHaveMade)
{
    const ScreenRect current = Rect(100, 300, 700, 426);
    const ScreenRect scaled = Rect(100, 300, 1000, 489);
    const ScreenRect offScreen = Rect(5059, 5060, 5907, 5950);
    EXPECT_FALSE(IsPlausibleDpiSuggestion(offScreen, kOneScreen));
    EXPECT_EQ(RectAfterDpiChange(current, 96, 144, &offScreen, kOneScreen), scaled);
    const ScreenRect vast = Rect(-2000000000, -2000000000, 2000000000, 2000000000);
    EXPECT_FALSE(IsPlausibleDpiSuggestion(vast, kOneScreen));
    EXPECT_EQ(RectAfterDpiChange(current, 96, 144, &vast, kOneScreen), scaled);
    const ScreenRect onTaskbarOnly = Rect(100, 995, 700, 1020);
    EXPECT_FALSE(IsPlausibleDpiSuggestion(onTaskbarOnly, kOneScreen));
    const ScreenRect partlyOn = Rect(1000, 900, 1900, 1026);
    EXPECT_TRUE(IsPlausibleDpiSuggestion(partlyOn, kOneScreen));
    const ScreenRect suggested = Rect(150, 320, 1050, 509);
    EXPECT_EQ(RectAfterDpiChange(current, 96, 144, &suggested, {}), scaled);
}

// Rectangles of other programs' windows reach anywhere an int does: the arithmetic neither
// overflows (the sanitizers watch) nor puts the popup off the work area.
TEST(PopupPlacement, HoldsAtTheEdgesOfWhatAnIntHolds)
{
    const int most = 2147483647, least = -2147483647 - 1;
    const ScreenRect work = kOneScreen.front().work;
    for (const ScreenRect& watched : {Rect(least, least, most, most), Rect(most - 10, most - 10, most, most),
                                      Rect(least, least, least + 10, least + 10), Rect(0, most - 5, 800, most)}) {
        const ScreenRect placed = Place(watched, kOneScreen);
        EXPECT_TRUE(work.Contains(placed)) << watched << " gave " << placed;
        EXPECT_EQ(placed.Height(), kHeight) << watched;
    }
    EXPECT_EQ(PlacePopupBeside(Rect(0, most - 5, 800, most), kHeight, 0, {}), Rect(0, most, 800, most));
    const ScreenRect far = Rect(most - 100, most - 100, most, most);
    EXPECT_EQ(RectAfterDpiChange(far, 96, 480, nullptr, kOneScreen), Rect(most - 100, most - 100, most, most));
    EXPECT_TRUE(work.Contains(BringOntoMonitor(Rect(least, least, most, most), kOneScreen)));
}

#include "popup/PopupPlacement.h"

#include <algorithm>
#include <climits>
#include <limits>

namespace {

// How far apart two rectangles are (0 when they meet), squared. In floating point: across the
// whole range of an int the square passes what 64 bits hold.
double DistanceSquared(const ScreenRect& a, const ScreenRect& b)
{
    const double dx = static_cast<double>(
        std::max({0LL, static_cast<long long>(b.left) - a.right, static_cast<long long>(a.left) - b.right}));
    const double dy = static_cast<double>(
        std::max({0LL, static_cast<long long>(b.top) - a.bottom, static_cast<long long>(a.top) - b.bottom}));
    return dx * dx + dy * dy;
}

// A span of the given length inside [low, high), as close to begin as it can be.
long long SpanStartWithin(long long begin, long long length, long long low, long long high)
{
    return std::max(low, std::min(begin, high - length));
}

// Rectangles are worked out in 64 bits (a window of another program may lie anywhere an int
// reaches) and their corners brought back into what an int holds.
int ToInt(long long value)
{
    return static_cast<int>(std::max<long long>(INT_MIN, std::min<long long>(value, INT_MAX)));
}

ScreenRect MakeRect(long long left, long long top, long long right, long long bottom)
{
    return {ToInt(left), ToInt(top), ToInt(right), ToInt(bottom)};
}

} // namespace

const MonitorAreas* MonitorOf(const ScreenRect& rect, const std::vector<MonitorAreas>& monitors)
{
    const MonitorAreas* best = nullptr;
    unsigned long long bestArea = 0;
    for (const MonitorAreas& candidate : monitors) {
        const unsigned long long area = OverlapArea(rect, candidate.monitor);
        if (area > bestArea) {
            best = &candidate;
            bestArea = area;
        }
    }
    if (best)
        return best;
    double bestDistance = std::numeric_limits<double>::infinity();
    for (const MonitorAreas& candidate : monitors) {
        const double distance = DistanceSquared(rect, candidate.monitor);
        if (distance < bestDistance) {
            best = &candidate;
            bestDistance = distance;
        }
    }
    return best;
}

ScreenRect PlacePopupBeside(const ScreenRect& watched, int popupHeight, int smallestWidth,
                            const std::vector<MonitorAreas>& monitors)
{
    const long long ownHeight = std::max(popupHeight, 0);
    const MonitorAreas* home = MonitorOf(watched, monitors);
    if (!home)
        return MakeRect(watched.left, watched.bottom, watched.right, watched.bottom + ownHeight);
    const ScreenRect& work = home->work;

    // The window's width within the work area (a window beside it keeps its own width), widened
    // to what the popup can be.
    const long long clippedLeft = std::max(watched.left, work.left);
    const long long clippedRight = std::min(watched.right, work.right);
    long long width = clippedRight > clippedLeft ? clippedRight - clippedLeft : std::max(watched.Width(), 0LL);
    width = std::min(std::max(width, static_cast<long long>(smallestWidth)), work.Width());
    const long long left = SpanStartWithin(clippedLeft, width, work.left, work.right);
    const long long height = std::min(ownHeight, work.Height());

    long long top;
    if (watched.bottom >= work.top && watched.bottom + height <= work.bottom)
        top = watched.bottom; // below
    else if (watched.top - height >= work.top && watched.top <= work.bottom)
        top = watched.top - height; // above
    else // inside the window's bottom edge
        top = std::max<long long>(work.top, std::min(watched.bottom, work.bottom) - height);
    return MakeRect(left, top, left + width, top + height);
}

ScreenRect BringOntoMonitor(const ScreenRect& remembered, const std::vector<MonitorAreas>& monitors)
{
    const MonitorAreas* home = MonitorOf(remembered, monitors);
    if (!home || home->work.Contains(remembered))
        return remembered;
    const ScreenRect& work = home->work;
    const long long width = std::min(std::max(remembered.Width(), 0LL), work.Width());
    const long long height = std::min(std::max(remembered.Height(), 0LL), work.Height());
    const long long left = SpanStartWithin(remembered.left, width, work.left, work.right);
    const long long top = SpanStartWithin(remembered.top, height, work.top, work.bottom);
    return MakeRect(left, top, left + width, top + height);
}

bool IsPlausibleDpi(int dpi)
{
    return dpi >= 48 && dpi <= 480;
}

bool IsPlausibleDpiSuggestion(const ScreenRect& suggested, const std::vector<MonitorAreas>& monitors)
{
    if (suggested.IsEmpty() || monitors.empty())
        return false;
    long long left = monitors.front().monitor.left, top = monitors.front().monitor.top;
    long long right = monitors.front().monitor.right, bottom = monitors.front().monitor.bottom;
    bool onWorkArea = false;
    for (const MonitorAreas& monitor : monitors) {
        left = std::min<long long>(left, monitor.monitor.left);
        top = std::min<long long>(top, monitor.monitor.top);
        right = std::max<long long>(right, monitor.monitor.right);
        bottom = std::max<long long>(bottom, monitor.monitor.bottom);
        onWorkArea = onWorkArea || OverlapArea(suggested, monitor.work) > 0;
    }
    return onWorkArea && suggested.Width() <= right - left && suggested.Height() <= bottom - top;
}

ScreenRect RectAfterDpiChange(const ScreenRect& current, int oldDpi, int newDpi, const ScreenRect* suggested,
                              const std::vector<MonitorAreas>& monitors)
{
    if (!IsPlausibleDpi(oldDpi) || !IsPlausibleDpi(newDpi))
        return current;
    if (suggested && IsPlausibleDpiSuggestion(*suggested, monitors))
        return *suggested;
    const auto scale = [&](long long length) { return (std::max(length, 0LL) * newDpi + oldDpi / 2) / oldDpi; };
    return MakeRect(current.left, current.top, current.left + scale(current.Width()),
                    current.top + scale(current.Height()));
}

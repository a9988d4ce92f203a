#include "popup/PopupPlacement.h"

#include <algorithm>
#include <climits>

namespace {

// How far apart two rectangles are (0 when they meet), squared.
long long DistanceSquared(const ScreenRect& a, const ScreenRect& b)
{
    const long long dx = std::max({0LL, static_cast<long long>(b.left) - a.right, static_cast<long long>(a.left) - b.right});
    const long long dy = std::max({0LL, static_cast<long long>(b.top) - a.bottom, static_cast<long long>(a.top) - b.bottom});
    return dx * dx + dy * dy;
}

// A span of the given length inside [low, high), as close to begin as it can be.
int SpanStartWithin(int begin, int length, int low, int high)
{
    return std::max(low, std::min(begin, high - length));
}

} // namespace

const MonitorAreas* MonitorOf(const ScreenRect& rect, const std::vector<MonitorAreas>& monitors)
{
    const MonitorAreas* best = nullptr;
    long long bestArea = 0;
    for (const MonitorAreas& candidate : monitors) {
        const long long area = OverlapArea(rect, candidate.monitor);
        if (area > bestArea) {
            best = &candidate;
            bestArea = area;
        }
    }
    if (best)
        return best;
    long long bestDistance = LLONG_MAX;
    for (const MonitorAreas& candidate : monitors) {
        const long long distance = DistanceSquared(rect, candidate.monitor);
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
    popupHeight = std::max(popupHeight, 0);
    const MonitorAreas* home = MonitorOf(watched, monitors);
    if (!home)
        return {watched.left, watched.bottom, watched.right, watched.bottom + popupHeight};
    const ScreenRect& work = home->work;

    // The window's width within the work area (a window beside it keeps its own width), widened
    // to what the popup can be.
    const int clippedLeft = std::max(watched.left, work.left);
    const int clippedRight = std::min(watched.right, work.right);
    int width = clippedRight > clippedLeft ? clippedRight - clippedLeft : std::max(watched.Width(), 0);
    width = std::min(std::max(width, smallestWidth), work.Width());
    const int left = SpanStartWithin(clippedLeft, width, work.left, work.right);
    const int height = std::min(popupHeight, work.Height());

    int top;
    if (watched.bottom >= work.top && watched.bottom + height <= work.bottom)
        top = watched.bottom; // below
    else if (watched.top - height >= work.top && watched.top <= work.bottom)
        top = watched.top - height; // above
    else // inside the window's bottom edge
        top = std::max(work.top, std::min(watched.bottom, work.bottom) - height);
    return {left, top, left + width, top + height};
}

ScreenRect BringOntoMonitor(const ScreenRect& remembered, const std::vector<MonitorAreas>& monitors)
{
    const MonitorAreas* home = MonitorOf(remembered, monitors);
    if (!home || home->work.Contains(remembered))
        return remembered;
    const ScreenRect& work = home->work;
    const int width = std::min(std::max(remembered.Width(), 0), work.Width());
    const int height = std::min(std::max(remembered.Height(), 0), work.Height());
    const int left = SpanStartWithin(remembered.left, width, work.left, work.right);
    const int top = SpanStartWithin(remembered.top, height, work.top, work.bottom);
    return {left, top, left + width, top + height};
}

bool IsPlausibleDpi(int dpi)
{
    return dpi >= 48 && dpi <= 480;
}

ScreenRect RectAfterDpiChange(const ScreenRect& current, int oldDpi, int newDpi, const ScreenRect* suggested,
                              const std::vector<MonitorAreas>& monitors)
{
    if (!IsPlausibleDpi(oldDpi) || !IsPlausibleDpi(newDpi))
        return current;
    if (suggested && !suggested->IsEmpty()) {
        ScreenRect desktop = monitors.empty() ? ScreenRect{} : monitors.front().monitor;
        for (const MonitorAreas& monitor : monitors) {
            desktop.left = std::min(desktop.left, monitor.monitor.left);
            desktop.top = std::min(desktop.top, monitor.monitor.top);
            desktop.right = std::max(desktop.right, monitor.monitor.right);
            desktop.bottom = std::max(desktop.bottom, monitor.monitor.bottom);
        }
        if (monitors.empty() || (suggested->Width() <= desktop.Width() && suggested->Height() <= desktop.Height()))
            return *suggested;
    }
    const auto scale = [&](int length) { return static_cast<int>((static_cast<long long>(length) * newDpi + oldDpi / 2) / oldDpi); };
    return {current.left, current.top, current.left + scale(current.Width()), current.top + scale(current.Height())};
}

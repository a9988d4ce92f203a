#include "fw/Monitors.h"

namespace {

BOOL CALLBACK AddMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM data)
{
    auto& monitors = *reinterpret_cast<std::vector<MonitorAreas>*>(data);
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    if (!::GetMonitorInfoW(monitor, &info))
        return TRUE;
    const MonitorAreas areas = {ToScreenRect(info.rcMonitor), ToScreenRect(info.rcWork)};
    if (info.dwFlags & MONITORINFOF_PRIMARY)
        monitors.insert(monitors.begin(), areas);
    else
        monitors.push_back(areas);
    return TRUE;
}

} // namespace

std::vector<MonitorAreas> ReadMonitors()
{
    std::vector<MonitorAreas> monitors;
    ::EnumDisplayMonitors(nullptr, nullptr, &AddMonitor, reinterpret_cast<LPARAM>(&monitors));
    return monitors;
}

ScreenRect MonitorRectOfWindow(HWND window)
{
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    HMONITOR monitor = ::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST);
    if (!monitor || !::GetMonitorInfoW(monitor, &info))
        return {};
    return ToScreenRect(info.rcMonitor);
}

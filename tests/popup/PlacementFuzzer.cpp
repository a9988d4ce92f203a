// Rectangles from anywhere (another program's window, a forged WM_DPICHANGED, monitors of any
// layout) through the placement arithmetic: no overflow (UBSan), and a popup placed beside a
// window stays inside the work area of a sound monitor.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "popup/PopupPlacement.h"

namespace {

class Input {
public:
    Input(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    int Int()
    {
        int32_t value = 0;
        if (m_size >= sizeof value) {
            std::memcpy(&value, m_data, sizeof value);
            m_data += sizeof value;
            m_size -= sizeof value;
        }
        return value;
    }
    ScreenRect Rect() { return {Int(), Int(), Int(), Int()}; }
    bool Empty() const { return m_size == 0; }

private:
    const uint8_t* m_data;
    size_t m_size;
};

bool IsSound(const MonitorAreas& monitor)
{
    return !monitor.work.IsEmpty() && monitor.monitor.Contains(monitor.work);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Input in(data, size);
    const ScreenRect watched = in.Rect();
    const ScreenRect suggested = in.Rect();
    const int height = in.Int();
    const int smallest = in.Int();
    const int oldDpi = in.Int();
    const int newDpi = in.Int();
    std::vector<MonitorAreas> monitors;
    while (!in.Empty() && monitors.size() < 4)
        monitors.push_back({in.Rect(), in.Rect()});

    const ScreenRect placed = PlacePopupBeside(watched, height, smallest, monitors);
    const MonitorAreas* home = MonitorOf(watched, monitors);
    if (home && IsSound(*home) && !home->work.Contains(placed))
        __builtin_trap();
    const ScreenRect brought = BringOntoMonitor(watched, monitors);
    const MonitorAreas* broughtHome = MonitorOf(watched, monitors);
    if (broughtHome && IsSound(*broughtHome) && !broughtHome->work.Contains(brought))
        __builtin_trap();
    // A suggestion the system could not have made is never taken.
    const ScreenRect after = RectAfterDpiChange(watched, oldDpi, newDpi, &suggested, monitors);
    if (!IsPlausibleDpiSuggestion(suggested, monitors)
        && after != RectAfterDpiChange(watched, oldDpi, newDpi, nullptr, monitors))
        __builtin_trap();
    return 0;
}

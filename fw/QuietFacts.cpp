#include "fw/QuietFacts.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>

#include "fw/Monitors.h"
#include "fw/Win32Util.h"

static_assert(static_cast<int>(NotificationState::NotPresent) == QUNS_NOT_PRESENT, "QUNS values");
static_assert(static_cast<int>(NotificationState::AcceptsNotifications) == QUNS_ACCEPTS_NOTIFICATIONS, "QUNS values");
static_assert(static_cast<int>(NotificationState::QuietTime) == 6, "QUNS_QUIET_TIME");

namespace {

ScreenRect ClientAreaOnScreen(HWND window)
{
    RECT client = {};
    if (!::GetClientRect(window, &client))
        return {};
    POINT corners[2] = {{client.left, client.top}, {client.right, client.bottom}};
    ::MapWindowPoints(window, nullptr, corners, 2);
    // A window laid out right to left maps its corners mirrored.
    return {std::min(corners[0].x, corners[1].x), std::min(corners[0].y, corners[1].y),
            std::max(corners[0].x, corners[1].x), std::max(corners[0].y, corners[1].y)};
}

} // namespace

QuietFacts ReadQuietFacts()
{
    QuietFacts facts;
    QUERY_USER_NOTIFICATION_STATE state = {};
    if (SUCCEEDED(::SHQueryUserNotificationState(&state)))
        facts.state = static_cast<NotificationState>(state);

    HWND foreground = ::GetForegroundWindow();
    DWORD process = 0;
    if (foreground)
        ::GetWindowThreadProcessId(foreground, &process);
    if (!foreground) {
        facts.foreground = ForegroundKind::None;
    } else if (process == ::GetCurrentProcessId()) {
        facts.foreground = ForegroundKind::ThisProcess;
    } else if (IsShellWindow(foreground)) {
        facts.foreground = ForegroundKind::Shell;
    } else {
        facts.foreground = ForegroundKind::OtherProgram;
        if (!::IsIconic(foreground))
            facts.foregroundClient = ClientAreaOnScreen(foreground);
        facts.foregroundMonitor = MonitorRectOfWindow(foreground);
    }
    return facts;
}

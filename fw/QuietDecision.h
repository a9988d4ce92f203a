// Whether news that nobody asked for should wait: the user runs a full-screen program or a
// presentation, is away, or has asked for quiet. A pure decision over what the system said;
// ReadQuietFacts (fw/QuietFacts.h) gathers those facts on Windows.
//
// The system's answer (SHQueryUserNotificationState) counts first: anything but "accepts
// notifications" is quiet. It is not enough alone: some systems (Wine among them) always answer
// "accepts", and a program may cover its monitor without telling the system. So a foreground
// window of another program whose client area covers its whole monitor counts as full-screen
// too; the shell's desktop and taskbar windows, which cover the screen without being programs
// the user watches, and this program's own windows never do.
#pragma once
#include "fw/ScreenRect.h"

// The values of QUERY_USER_NOTIFICATION_STATE, and Unknown when the call failed.
enum class NotificationState : int {
    Unknown = 0,
    NotPresent = 1,      // screen saver, locked, or another user's session in front
    Busy = 2,            // a full-screen program
    D3dFullScreen = 3,   // a full-screen Direct3D program (a game)
    Presentation = 4,    // presentation settings are on
    AcceptsNotifications = 5,
    QuietTime = 6,       // the first hour after a new user's first logon, or quiet hours
    App = 7,             // a full-screen app of the Store in front
};

enum class ForegroundKind { None, ThisProcess, Shell, OtherProgram };

struct QuietFacts {
    NotificationState state = NotificationState::Unknown;
    ForegroundKind foreground = ForegroundKind::None;
    // For OtherProgram: the foreground window's client area and the rectangle of the monitor
    // that holds it, in screen coordinates. The client area, not the window: a maximised window
    // reaches past its monitor by its frame, but its caption keeps the client area off the top.
    ScreenRect foregroundClient;
    ScreenRect foregroundMonitor;
};

// True while unasked news (the popup beside a watched window, a balloon) should wait.
bool IsQuietTime(const QuietFacts& facts);

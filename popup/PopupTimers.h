// The popup window's timers, one table for all its collaborators; each handles only its own ids.
#pragma once
#include <windows.h>

enum : UINT_PTR {
    // The feed is refreshed 10 s after start, then every refresh interval.
    kRefreshTimer = 1,
    // A minimise or restore is reported before it happens; the placement is checked again once
    // the watched window has settled.
    kSettleTimer = 2,
    // Windows whose title may still come to announce a long operation are read again.
    kTitleTimer = 3,
    // A refresh that takes a while says so in the status line.
    kLoadingTimer = 4,
    // A window the popup is to accompany came while the user was busy (a full-screen program, a
    // presentation, quiet hours): whether that has ended is asked again every few seconds.
    kQuietTimer = 5,
    // For a few seconds after the watch hook came, the windows already on the desktop are looked
    // at as if the hook had reported them.
    kSweepTimer = 6,
    // A report the service did not take goes again once its wait is over (CReportQueue).
    kReportTimer = 7,
    // A request to the service that has not been answered by its deadline is given up: one
    // timer per kind of request (the report, the preset list, the sponsor picture).
    kReportDeadlineTimer = 8,
    kPresetDeadlineTimer = 9,
    kSponsorDeadlineTimer = 10,
};

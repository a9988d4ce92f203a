// What the system says now about the user's attention, gathered for IsQuietTime
// (fw/QuietDecision.h): the notification state from SHQueryUserNotificationState and what is
// known of the foreground window. Call it at the moment news would be shown, not when it was
// asked for: the state changes while a request runs.
#pragma once
#include "fw/QuietDecision.h"

QuietFacts ReadQuietFacts();

// The one call for the window code: true while unasked news should wait.
inline bool IsQuietTimeNow()
{
    return IsQuietTime(ReadQuietFacts());
}

#include "fw/QuietDecision.h"

bool IsQuietTime(const QuietFacts& facts)
{
    if (facts.state != NotificationState::Unknown && facts.state != NotificationState::AcceptsNotifications)
        return true;
    return facts.foreground == ForegroundKind::OtherProgram && !facts.foregroundMonitor.IsEmpty()
           && facts.foregroundClient.Contains(facts.foregroundMonitor);
}

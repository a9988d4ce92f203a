#include "fw/QuietDecision.h"

#include <gtest/gtest.h>

namespace {

const ScreenRect kMonitor = {0, 0, 1280, 1024};

QuietFacts Foreground(ForegroundKind kind, ScreenRect client, ScreenRect monitor = kMonitor,
                      NotificationState state = NotificationState::AcceptsNotifications)
{
    QuietFacts facts;
    facts.state = state;
    facts.foreground = kind;
    facts.foregroundClient = client;
    facts.foregroundMonitor = monitor;
    return facts;
}

QuietFacts State(NotificationState state)
{
    QuietFacts facts;
    facts.state = state;
    return facts;
}

} // namespace

TEST(QuietDecision, EveryStateButAcceptsNotificationsIsQuiet)
{
    for (NotificationState state : {NotificationState::NotPresent, NotificationState::Busy,
                                    NotificationState::D3dFullScreen, NotificationState::Presentation,
                                    NotificationState::QuietTime, NotificationState::App,
                                    static_cast<NotificationState>(8)})
        EXPECT_TRUE(IsQuietTime(State(state))) << static_cast<int>(state);
    EXPECT_FALSE(IsQuietTime(State(NotificationState::AcceptsNotifications)));
    EXPECT_FALSE(IsQuietTime(State(NotificationState::Unknown)));
    // The state counts whatever is in front, even this program's own window.
    EXPECT_TRUE(IsQuietTime(Foreground(ForegroundKind::ThisProcess, {0, 0, 10, 10}, kMonitor,
                                       NotificationState::Presentation)));
}

TEST(QuietDecision, AnotherProgramCoveringItsMonitorIsFullScreen)
{
    EXPECT_TRUE(IsQuietTime(Foreground(ForegroundKind::OtherProgram, kMonitor)));
    EXPECT_TRUE(IsQuietTime(Foreground(ForegroundKind::OtherProgram, {-3, -3, 1283, 1027})));
    // The system could not be asked: the window alone decides.
    EXPECT_TRUE(IsQuietTime(Foreground(ForegroundKind::OtherProgram, kMonitor, kMonitor, NotificationState::Unknown)));
    EXPECT_FALSE(IsQuietTime(Foreground(ForegroundKind::OtherProgram, {0, 0, 800, 600}, kMonitor,
                                        NotificationState::Unknown)));
    // On a monitor left of the primary one.
    const ScreenRect left = {-1920, -56, 0, 1024};
    EXPECT_TRUE(IsQuietTime(Foreground(ForegroundKind::OtherProgram, left, left)));
    EXPECT_FALSE(IsQuietTime(Foreground(ForegroundKind::OtherProgram, left, kMonitor)));
}

TEST(QuietDecision, AWindowShortOfTheMonitorIsNotFullScreen)
{
    // One pixel short on each edge in turn.
    for (ScreenRect client : {ScreenRect{1, 0, 1280, 1024}, ScreenRect{0, 1, 1280, 1024},
                              ScreenRect{0, 0, 1279, 1024}, ScreenRect{0, 0, 1280, 1023}})
        EXPECT_FALSE(IsQuietTime(Foreground(ForegroundKind::OtherProgram, client))) << client.left << client.top;
    // Maximised with a caption above its client area, or minimised (no client area).
    EXPECT_FALSE(IsQuietTime(Foreground(ForegroundKind::OtherProgram, {0, 23, 1280, 994})));
    EXPECT_FALSE(IsQuietTime(Foreground(ForegroundKind::OtherProgram, {-32000, -32000, -32000, -32000})));
    // A monitor that could not be read covers nothing.
    EXPECT_FALSE(IsQuietTime(Foreground(ForegroundKind::OtherProgram, kMonitor, ScreenRect{})));
}

TEST(QuietDecision, TheShellAndThisProgramCoverTheScreenWithoutBeingFullScreen)
{
    EXPECT_FALSE(IsQuietTime(Foreground(ForegroundKind::Shell, kMonitor)));
    EXPECT_FALSE(IsQuietTime(Foreground(ForegroundKind::ThisProcess, kMonitor)));
    EXPECT_FALSE(IsQuietTime(Foreground(ForegroundKind::None, kMonitor)));
}

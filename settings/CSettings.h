// The user's settings as the profile's "Settings" section keeps them. They are read once at
// start and written back only when the user changes them.
#pragma once
#include "fw/CProfileStore.h"
#include "fw/CStringArray.h"

class CSettings {
public:
    // The channels, 0 to 7 in the channel menu's order, and My Feeds.
    static constexpr int kChannelCount = 8;
    static constexpr int kMyFeedsChannel = -1;
    // Bounds of the words that hide items: entries, and characters of each.
    static constexpr int kMaxMuteWords = 100;
    static constexpr int kMaxMuteWordLength = 100;

    // What a start without stored settings uses: a refresh every minute, balloons on, every
    // channel offered (bits beyond the channels set as well), the first channel chosen.
    static constexpr int kDefaultInterval = 1;
    static constexpr int kDefaultNotify = 1;
    static constexpr int kDefaultChannels = 0xFFFF;
    static constexpr int kDefaultPreferredChannel = 0;

    int m_interval = kDefaultInterval;                 // refresh interval in minutes
    int m_notify = kDefaultNotify;                     // non-zero: announce a new item in a balloon
    int m_channels = kDefaultChannels;                 // bit i set: channel i is offered
    int m_preferredChannel = kDefaultPreferredChannel; // channel 0 to kChannelCount - 1, or kMyFeedsChannel
    CStringArray m_myFeeds;       // the user's own feed addresses, in list order
    CStringArray m_muteWords;     // words or phrases whose items are hidden, in list order

    // Values that are absent, or of the wrong type or size, leave the defaults above.
    // The feed list ends at the first absent or empty "Feed<n>", the mute words at the first
    // absent or empty "Mute<n>" or at the bound, each word cut to its bound.
    void Load(CProfileStore& profile);

    // oldFeedCount is the length of the feed list before the user edited it: the values that
    // the list no longer reaches are deleted, and so is the one right after the new list, so
    // that the next start reads exactly this list; nothing further on is touched.
    // The mute words are written the same way, oldMuteCount their number before.
    void SaveAfterSettingsDialog(CProfileStore& profile, int oldFeedCount, int oldMuteCount = 0) const;
    void SavePreferredChannel(CProfileStore& profile) const;

private:
    void LoadFeeds(CProfileStore& profile);
    void SaveFeeds(CProfileStore& profile, int oldFeedCount) const;
    void LoadMuteWords(CProfileStore& profile);
    void SaveMuteWords(CProfileStore& profile, int oldMuteCount) const;
};

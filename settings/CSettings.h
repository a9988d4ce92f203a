// The user's settings as the profile's "Settings" section keeps them. They are read once at
// start and written back only when the user changes them.
#pragma once
#include "fw/CProfileStore.h"
#include "fw/CStringArray.h"

class CSettings {
public:
    static constexpr int kMyFeedsChannel = -1;
    // Bounds of the words that hide items: entries, and characters of each.
    static constexpr int kMaxMuteWords = 100;
    static constexpr int kMaxMuteWordLength = 100;

    int m_interval = 1;           // refresh interval in minutes
    int m_notify = 1;             // non-zero: announce a new item in a balloon
    int m_channels = 0xFFFF;      // bit i set: channel i is offered
    int m_preferredChannel = 0;   // channel 0..7, or kMyFeedsChannel
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

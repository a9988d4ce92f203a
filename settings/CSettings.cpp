#include "settings/CSettings.h"

#include <string>

#include "fw/CDiagnosticLog.h"
#include "fw/Utf8Prefix.h"

namespace {

const char kSection[] = "Settings";

CString FeedEntry(int number)
{
    CString name;
    name.Format("Feed%d", number);
    return name;
}

// What the settings dialog saved, for the log: no feed address (they are the user's own).
std::string DescribeSaved(const CSettings& settings)
{
    return "settings saved: refresh every " + std::to_string(settings.m_interval) + " min, balloon " +
           (settings.m_notify ? "on" : "off") + ", channels offered " + std::to_string(settings.m_channels) +
           ", " + std::to_string(settings.m_myFeeds.GetSize()) + " own feeds";
}

CString MuteEntry(int number)
{
    CString name;
    name.Format("Mute%d", number);
    return name;
}

} // namespace

void CSettings::Load(CProfileStore& profile)
{
    m_interval = static_cast<int>(profile.GetProfileInt(kSection, "Interval", kDefaultInterval));
    m_notify = static_cast<int>(profile.GetProfileInt(kSection, "Notify", kDefaultNotify));
    m_channels = static_cast<int>(profile.GetProfileInt(kSection, "Channels", kDefaultChannels));
    m_preferredChannel = static_cast<int>(profile.GetProfileInt(kSection, "PreferredChannel", kDefaultPreferredChannel));
    LoadMuteWords(profile);
    LoadFeeds(profile);
}

void CSettings::LoadFeeds(CProfileStore& profile)
{
    m_myFeeds.RemoveAll();
    for (int number = 1;; ++number) {
        CString feed = profile.GetProfileString(kSection, FeedEntry(number), "");
        if (feed.IsEmpty())
            break;
        m_myFeeds.Add(feed);
    }
}

void CSettings::LoadMuteWords(CProfileStore& profile)
{
    m_muteWords.RemoveAll();
    for (int number = 1; number <= kMaxMuteWords; ++number) {
        CString word = profile.GetProfileString(kSection, MuteEntry(number), "");
        if (word.IsEmpty())
            break;
        const std::string cut = Utf8Prefix(std::string(word.GetString(), word.GetLength()), kMaxMuteWordLength);
        m_muteWords.Add(cut.c_str());
    }
}

void CSettings::SaveAfterSettingsDialog(CProfileStore& profile, int oldFeedCount, int oldMuteCount) const
{
    profile.WriteProfileInt(kSection, "Interval", m_interval);
    profile.WriteProfileInt(kSection, "Notify", m_notify);
    profile.WriteProfileInt(kSection, "Channels", m_channels);
    SaveFeeds(profile, oldFeedCount);
    SaveMuteWords(profile, oldMuteCount);
    CDiagnosticLog::Log(DescribeSaved(*this));
}

// As the feeds: no empty value, and the one right after the new end goes too.
void CSettings::SaveMuteWords(CProfileStore& profile, int oldMuteCount) const
{
    int written = 0;
    for (int i = 0; i < m_muteWords.GetSize() && written < kMaxMuteWords; ++i) {
        if (!m_muteWords[i].IsEmpty())
            profile.WriteProfileString(kSection, MuteEntry(++written), m_muteWords[i]);
    }
    const int lastToDelete = oldMuteCount > written + 1 ? oldMuteCount : written + 1;
    for (int number = written + 1; number <= lastToDelete; ++number)
        profile.WriteProfileString(kSection, MuteEntry(number), nullptr);
}

// An empty address is not written: reading stops at the first empty value, so it would hide
// every feed after it from the next start.
// The value right after the new last feed goes too, even when the old list did not reach it:
// a value left there from elsewhere would otherwise join the list at the next start.
void CSettings::SaveFeeds(CProfileStore& profile, int oldFeedCount) const
{
    int written = 0;
    for (int i = 0; i < m_myFeeds.GetSize(); ++i) {
        if (!m_myFeeds[i].IsEmpty())
            profile.WriteProfileString(kSection, FeedEntry(++written), m_myFeeds[i]);
    }
    const int lastToDelete = oldFeedCount > written + 1 ? oldFeedCount : written + 1;
    for (int number = written + 1; number <= lastToDelete; ++number)
        profile.WriteProfileString(kSection, FeedEntry(number), nullptr);
}

void CSettings::SavePreferredChannel(CProfileStore& profile) const
{
    profile.WriteProfileInt(kSection, "PreferredChannel", m_preferredChannel);
    CDiagnosticLog::Log("settings saved: channel " + std::to_string(m_preferredChannel) + " chosen");
}

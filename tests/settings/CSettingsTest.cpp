#include "settings/CSettings.h"

#include "tests/settings/CMemoryProfile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Log = std::vector<std::string>;

const char kSection[] = "Settings";

std::vector<std::string> Feeds(const CSettings& settings)
{
    std::vector<std::string> feeds;
    for (int i = 0; i < settings.m_myFeeds.GetSize(); ++i)
        feeds.push_back(settings.m_myFeeds[i].GetString());
    return feeds;
}

CSettings WithFeeds(const std::vector<std::string>& feeds)
{
    CSettings settings;
    for (const std::string& feed : feeds)
        settings.m_myFeeds.Add(feed.c_str());
    return settings;
}

CSettings Loaded(CMemoryProfile& profile)
{
    CSettings settings;
    settings.Load(profile);
    return settings;
}

} // namespace

TEST(SettingsLoad, EmptyProfileGivesTheFirstRunSettings)
{
    CMemoryProfile profile;
    CSettings settings;
    settings.m_interval = 30;
    settings.m_myFeeds.Add("http://left.over/");

    settings.Load(profile);

    EXPECT_EQ(settings.m_interval, 1);
    EXPECT_EQ(settings.m_notify, 1);
    EXPECT_EQ(settings.m_channels, 0xFFFF);
    EXPECT_EQ(settings.m_preferredChannel, 0);
    EXPECT_TRUE(Feeds(settings).empty());
}

TEST(SettingsLoad, ReadsTheNumbersInOrderThenTheFeedsUpToTheFirstMissingOne)
{
    CMemoryProfile profile;
    profile.SetString(kSection, "Feed1", "http://a.test/rss");
    profile.SetString(kSection, "Feed2", "http://b.test/rss");

    Loaded(profile);

    EXPECT_EQ(profile.m_log, (Log{"get Interval", "get Notify", "get Channels", "get PreferredChannel",
                                  "get Mute1", "get Feed1", "get Feed2", "get Feed3"}));
}

TEST(SettingsLoad, TakesStoredNumbersAsTheyAre)
{
    CMemoryProfile profile;
    profile.SetDword(kSection, "Interval", 0);
    profile.SetDword(kSection, "Notify", 7);
    profile.SetDword(kSection, "Channels", 0x12345678);
    profile.SetDword(kSection, "PreferredChannel", 42);

    CSettings settings = Loaded(profile);

    EXPECT_EQ(settings.m_interval, 0);
    EXPECT_EQ(settings.m_notify, 7);
    EXPECT_EQ(settings.m_channels, 0x12345678);
    EXPECT_EQ(settings.m_preferredChannel, 42);
}

TEST(SettingsLoad, AllOnesReadsBackAsMyFeeds)
{
    CMemoryProfile profile;
    profile.SetDword(kSection, "PreferredChannel", 0xFFFFFFFFu);

    EXPECT_EQ(Loaded(profile).m_preferredChannel, CSettings::kMyFeedsChannel);
}

TEST(SettingsLoad, FeedsAfterAGapAreNeverRead)
{
    CMemoryProfile profile;
    profile.SetString(kSection, "Feed1", "http://one.test/");
    profile.SetString(kSection, "Feed2", "http://two.test/");
    profile.SetString(kSection, "Feed4", "http://four.test/");

    CSettings settings = Loaded(profile);

    EXPECT_EQ(Feeds(settings), (std::vector<std::string>{"http://one.test/", "http://two.test/"}));
    EXPECT_EQ(profile.m_log.back(), "get Feed3");
}

TEST(SettingsLoad, AnEmptyFeedValueEndsTheList)
{
    CMemoryProfile profile;
    profile.SetString(kSection, "Feed1", "http://one.test/");
    profile.SetString(kSection, "Feed2", "");
    profile.SetString(kSection, "Feed3", "http://three.test/");

    EXPECT_EQ(Feeds(Loaded(profile)), (std::vector<std::string>{"http://one.test/"}));
}

TEST(SettingsLoad, WrongTypedValuesGiveTheDefaults)
{
    CMemoryProfile profile;
    profile.SetString(kSection, "Interval", "5");
    profile.SetString(kSection, "Notify", "0");
    profile.SetString(kSection, "Channels", "3");
    profile.SetString(kSection, "PreferredChannel", "2");
    profile.SetDword(kSection, "Feed1", 1);

    CSettings settings = Loaded(profile);

    EXPECT_EQ(settings.m_interval, 1);
    EXPECT_EQ(settings.m_notify, 1);
    EXPECT_EQ(settings.m_channels, 0xFFFF);
    EXPECT_EQ(settings.m_preferredChannel, 0);
    EXPECT_TRUE(Feeds(settings).empty());
}

TEST(SettingsLoad, ValuesOfOtherSectionsAreNotSettings)
{
    CMemoryProfile profile;
    profile.SetDword("Other", "Interval", 9);
    profile.SetString("Other", "Feed1", "http://elsewhere.test/");

    CSettings settings = Loaded(profile);

    EXPECT_EQ(settings.m_interval, 1);
    EXPECT_TRUE(Feeds(settings).empty());
}

TEST(SettingsSave, AfterTheDialogWritesTheNumbersThenTheFeedsButNotTheChannelChoice)
{
    CMemoryProfile profile;
    CSettings settings = WithFeeds({"http://a.test/", "http://b.test/"});
    settings.m_interval = 15;
    settings.m_notify = 0;
    settings.m_channels = 0x05;
    settings.m_preferredChannel = 3;

    settings.SaveAfterSettingsDialog(profile, 0);

    EXPECT_EQ(profile.m_log,
              (Log{"set Interval", "set Notify", "set Channels", "set Feed1", "set Feed2", "delete Feed3",
                    "delete Mute1"}));
    EXPECT_EQ(profile.Dword(kSection, "Interval"), 15u);
    EXPECT_EQ(profile.Dword(kSection, "Notify"), 0u);
    EXPECT_EQ(profile.Dword(kSection, "Channels"), 0x05u);
    EXPECT_TRUE(profile.IsDword(kSection, "Interval"));
    EXPECT_EQ(profile.String(kSection, "Feed1"), "http://a.test/");
    EXPECT_EQ(profile.String(kSection, "Feed2"), "http://b.test/");
    EXPECT_FALSE(profile.HasValue(kSection, "PreferredChannel"));
}

TEST(SettingsSave, ShorteningFromThreeToOneDeletesTheTwoLeftOver)
{
    CMemoryProfile profile;
    profile.SetString(kSection, "Feed1", "http://one.test/");
    profile.SetString(kSection, "Feed2", "http://two.test/");
    profile.SetString(kSection, "Feed3", "http://three.test/");
    CSettings settings = Loaded(profile);
    const int oldCount = settings.m_myFeeds.GetSize();
    settings.m_myFeeds.RemoveAt(0);
    settings.m_myFeeds.RemoveAt(1);
    profile.m_log.clear();

    settings.SaveAfterSettingsDialog(profile, oldCount);

    EXPECT_EQ(profile.m_log, (Log{"set Interval", "set Notify", "set Channels", "set Feed1", "delete Feed2",
                                  "delete Feed3", "delete Mute1"}));
    EXPECT_EQ(Feeds(Loaded(profile)), (std::vector<std::string>{"http://two.test/"}));
}

TEST(SettingsSave, LengtheningWritesEveryFeedFromTheFirst)
{
    CMemoryProfile profile;
    profile.SetString(kSection, "Feed1", "http://one.test/");
    CSettings settings = WithFeeds({"http://new.test/", "http://one.test/", "http://two.test/"});
    profile.m_log.clear();

    settings.SaveAfterSettingsDialog(profile, 1);

    EXPECT_EQ(profile.m_log, (Log{"set Interval", "set Notify", "set Channels", "set Feed1", "set Feed2",
                                  "set Feed3", "delete Feed4", "delete Mute1"}));
    EXPECT_EQ(Feeds(Loaded(profile)), Feeds(settings));
}

TEST(SettingsSave, EmptyingTheListDeletesEveryOldFeed)
{
    CMemoryProfile profile;
    profile.SetString(kSection, "Feed1", "http://one.test/");
    profile.SetString(kSection, "Feed2", "http://two.test/");

    CSettings().SaveAfterSettingsDialog(profile, 2);

    EXPECT_FALSE(profile.HasValue(kSection, "Feed1"));
    EXPECT_FALSE(profile.HasValue(kSection, "Feed2"));
}

// Feed1, Feed2 and a stray Feed4 load as two feeds; once a third is added, the stray value
// must not come back as a fourth at the next start.
TEST(SettingsSave, AStrayValueRightAfterTheNewListIsDeletedSoTheListLoadsBackExactly)
{
    CMemoryProfile profile;
    profile.SetString(kSection, "Feed1", "http://one.test/");
    profile.SetString(kSection, "Feed2", "http://two.test/");
    profile.SetString(kSection, "Feed4", "http://stray.test/");
    profile.SetString(kSection, "Feed6", "http://further.test/");
    CSettings settings = Loaded(profile);
    const int oldCount = settings.m_myFeeds.GetSize();
    settings.m_myFeeds.Add("http://three.test/");

    settings.SaveAfterSettingsDialog(profile, oldCount);

    EXPECT_EQ(Feeds(Loaded(profile)), Feeds(settings));
    EXPECT_FALSE(profile.HasValue(kSection, "Feed4"));
    EXPECT_EQ(profile.String(kSection, "Feed6"), "http://further.test/");
}

TEST(SettingsSave, ValuesBeyondTheOldListAreLeftAlone)
{
    CMemoryProfile profile;
    profile.SetString(kSection, "Feed1", "http://one.test/");
    profile.SetString(kSection, "Feed2", "http://two.test/");
    profile.SetString(kSection, "Feed5", "http://someone.else/");

    WithFeeds({"http://one.test/"}).SaveAfterSettingsDialog(profile, 2);

    EXPECT_FALSE(profile.HasValue(kSection, "Feed2"));
    EXPECT_EQ(profile.String(kSection, "Feed5"), "http://someone.else/");
}

// Reading stops at the first empty value: written as it is, an empty entry would lose every
// feed after it at the next start.
TEST(SettingsSave, AnEmptyAddressInTheListDoesNotHideTheFeedsAfterIt)
{
    CMemoryProfile profile;
    profile.SetString(kSection, "Feed1", "http://one.test/");
    profile.SetString(kSection, "Feed2", "http://two.test/");
    profile.SetString(kSection, "Feed3", "http://three.test/");

    WithFeeds({"http://a.test/", "", "http://b.test/"}).SaveAfterSettingsDialog(profile, 3);

    EXPECT_EQ(Feeds(Loaded(profile)), (std::vector<std::string>{"http://a.test/", "http://b.test/"}));
    EXPECT_FALSE(profile.HasValue(kSection, "Feed3"));
}

TEST(SettingsSave, WhatIsSavedLoadsBackUnchanged)
{
    CMemoryProfile profile;
    CSettings saved = WithFeeds({"http://a.test/rss?x=1&y=2", "http://b.test/"});
    saved.m_interval = 120;
    saved.m_notify = 0;
    saved.m_channels = 0xA5;
    saved.m_preferredChannel = 7;
    saved.SaveAfterSettingsDialog(profile, 0);
    saved.SavePreferredChannel(profile);

    CSettings loaded = Loaded(profile);

    EXPECT_EQ(loaded.m_interval, 120);
    EXPECT_EQ(loaded.m_notify, 0);
    EXPECT_EQ(loaded.m_channels, 0xA5);
    EXPECT_EQ(loaded.m_preferredChannel, 7);
    EXPECT_EQ(Feeds(loaded), Feeds(saved));
}

TEST(SettingsSavePreferredChannel, WritesThatValueAlone)
{
    CMemoryProfile profile;
    CSettings settings = WithFeeds({"http://a.test/"});
    settings.m_preferredChannel = 4;

    settings.SavePreferredChannel(profile);

    EXPECT_EQ(profile.m_log, (Log{"set PreferredChannel"}));
    EXPECT_EQ(profile.Dword(kSection, "PreferredChannel"), 4u);
}

TEST(SettingsSavePreferredChannel, MyFeedsIsStoredAsAllOnesAndReadsBackAsMyFeeds)
{
    CMemoryProfile profile;
    CSettings settings;
    settings.m_preferredChannel = CSettings::kMyFeedsChannel;

    settings.SavePreferredChannel(profile);

    EXPECT_TRUE(profile.IsDword(kSection, "PreferredChannel"));
    EXPECT_EQ(profile.Dword(kSection, "PreferredChannel"), 0xFFFFFFFFu);
    EXPECT_EQ(Loaded(profile).m_preferredChannel, -1);
}

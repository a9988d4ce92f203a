#include "settings/MuteWordList.h"

#include "settings/CSettings.h"
#include "tests/settings/CMemoryProfile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using Words = std::vector<std::string>;

TEST(MuteWordList, OneWordOrPhraseALineTrimmedWithoutEmptyLinesOrRepeats)
{
    EXPECT_EQ(MuteWordsFromText("football\r\n  red carpet \r\n\r\n\t\r\nfootball\nlottery"),
              (Words{"football", "red carpet", "lottery"}));
    EXPECT_EQ(MuteWordsFromText(""), Words{});
    EXPECT_EQ(MuteWordsFromText(" \r\n \r\n"), Words{});
    EXPECT_EQ(MuteWordsText({"football", "red carpet"}), "football\r\nred carpet");
}

TEST(MuteWordList, TheListIsBoundedInWordsAndCharactersWithoutCuttingACharacter)
{
    std::string text;
    for (int i = 0; i < CSettings::kMaxMuteWords + 10; ++i)
        text += "word" + std::to_string(i) + "\n";
    const Words words = MuteWordsFromText(text);
    ASSERT_EQ(words.size(), static_cast<std::size_t>(CSettings::kMaxMuteWords));
    EXPECT_EQ(words.back(), "word" + std::to_string(CSettings::kMaxMuteWords - 1));

    std::string accented;
    for (int i = 0; i < CSettings::kMaxMuteWordLength + 5; ++i)
        accented += "\xC3\xA9"; // U+00E9, two bytes
    const Words cut = MuteWordsFromText(accented);
    ASSERT_EQ(cut.size(), 1u);
    EXPECT_EQ(cut[0].size(), static_cast<std::size_t>(CSettings::kMaxMuteWordLength) * 2) << "characters, not bytes";

    // A cut that ends on a blank leaves no blank.
    const std::string spaced = std::string(CSettings::kMaxMuteWordLength - 1, 'a') + " b";
    EXPECT_EQ(MuteWordsFromText(spaced), Words{std::string(CSettings::kMaxMuteWordLength - 1, 'a')});
}

TEST(MuteWordList, TheSettingsKeepTheWordsLikeTheFeedsAndReadThemBounded)
{
    CMemoryProfile profile;
    CSettings settings;
    settings.m_muteWords.Add("football");
    settings.m_muteWords.Add("red carpet");
    settings.SaveAfterSettingsDialog(profile, 0, 0);
    EXPECT_EQ(profile.String("Settings", "Mute1"), "football");
    EXPECT_EQ(profile.String("Settings", "Mute2"), "red carpet");

    CSettings shorter;
    shorter.m_muteWords.Add("lottery");
    profile.SetString("Settings", "Mute3", "left from elsewhere");
    shorter.SaveAfterSettingsDialog(profile, 0, 3);
    EXPECT_EQ(profile.String("Settings", "Mute1"), "lottery");
    EXPECT_FALSE(profile.HasValue("Settings", "Mute2"));
    EXPECT_FALSE(profile.HasValue("Settings", "Mute3"));

    CMemoryProfile big;
    for (int i = 1; i <= CSettings::kMaxMuteWords + 3; ++i)
        big.SetString("Settings", "Mute" + std::to_string(i), std::string(CSettings::kMaxMuteWordLength + 50, 'x'));
    CSettings loaded;
    loaded.Load(big);
    ASSERT_EQ(loaded.m_muteWords.GetSize(), CSettings::kMaxMuteWords);
    EXPECT_EQ(loaded.m_muteWords[0].GetLength(), CSettings::kMaxMuteWordLength);
}

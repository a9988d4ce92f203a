#include "settings/CSeenItems.h"

#include "tests/settings/CMemoryProfile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const char kSection[] = "Seen";

CSeenItems Loaded(CMemoryProfile& profile)
{
    CSeenItems seen;
    seen.Load(profile);
    return seen;
}

} // namespace

TEST(SeenItems, AnItemMarkedSeenIsSeenAfterTheNextStartAndOnlyThatItem)
{
    CMemoryProfile profile;
    CSeenItems seen;
    seen.MarkSeen(profile, "http://a/feed", "Harbour opens", "Mon, 01 Jan 2024", {"http://a/feed", "http://b/feed"});
    seen.MarkSeen(profile, "http://b/feed", "Bridge closed", "", {"http://a/feed", "http://b/feed"});

    const CSeenItems again = Loaded(profile);
    EXPECT_TRUE(again.IsSeen("http://a/feed", "Harbour opens", "Mon, 01 Jan 2024"));
    EXPECT_TRUE(again.IsSeen("http://b/feed", "Bridge closed", ""));
    EXPECT_FALSE(again.IsSeen("http://a/feed", "Harbour opens", "Tue, 02 Jan 2024")) << "same title, new date";
    EXPECT_FALSE(again.IsSeen("http://a/feed", "Bridge closed", "")) << "another feed's item";
    EXPECT_FALSE(again.IsSeen("http://c/feed", "Harbour opens", "Mon, 01 Jan 2024")) << "a feed never shown";
}

TEST(SeenItems, ANewerItemReplacesTheFeedsEntryAndFeedsNoLongerListedGo)
{
    CMemoryProfile profile;
    CSeenItems seen;
    seen.MarkSeen(profile, "http://a/feed", "One", "", {"http://a/feed", "http://b/feed"});
    seen.MarkSeen(profile, "http://b/feed", "Two", "", {"http://a/feed", "http://b/feed"});
    seen.MarkSeen(profile, "http://a/feed", "Three", "", {"http://a/feed", "http://b/feed"});
    EXPECT_EQ(seen.Size(), 2u);
    EXPECT_FALSE(seen.IsSeen("http://a/feed", "One", ""));
    EXPECT_TRUE(seen.IsSeen("http://a/feed", "Three", ""));

    // The list changed: b is gone from it, and from the profile with its three values.
    seen.MarkSeen(profile, "http://c/feed", "Four", "", {"http://a/feed", "http://c/feed"});
    const CSeenItems again = Loaded(profile);
    EXPECT_EQ(again.Size(), 2u);
    EXPECT_FALSE(again.IsSeen("http://b/feed", "Two", ""));
    EXPECT_TRUE(again.IsSeen("http://c/feed", "Four", ""));
    EXPECT_TRUE(again.IsSeen("http://a/feed", "Three", ""));
    for (const char* kind : {"Feed", "Title", "Date"})
        EXPECT_FALSE(profile.HasValue(kSection, std::string(kind) + "3")) << kind;
}

TEST(SeenItems, TheSectionIsBoundedInEntriesAndLength)
{
    CMemoryProfile profile;
    std::vector<std::string> listed;
    for (int i = 0; i < CSeenItems::kMaxEntries + 20; ++i)
        listed.push_back("http://feeds/" + std::to_string(i));
    CSeenItems seen;
    for (const std::string& feed : listed)
        seen.MarkSeen(profile, feed, "Item of " + feed, "", listed);
    EXPECT_EQ(seen.Size(), static_cast<std::size_t>(CSeenItems::kMaxEntries));
    EXPECT_TRUE(seen.IsSeen(listed.back(), "Item of " + listed.back(), "")) << "the latest is kept";
    EXPECT_FALSE(seen.IsSeen(listed.front(), "Item of " + listed.front(), "")) << "the oldest went";
    EXPECT_FALSE(profile.HasValue(kSection, "Feed" + std::to_string(CSeenItems::kMaxEntries + 1)));

    const std::string longTitle(CSeenItems::kMaxValueLength * 3, 'x');
    seen.MarkSeen(profile, listed.back(), longTitle, "", listed);
    EXPECT_EQ(profile.String(kSection, "Title1").size(), CSeenItems::kMaxValueLength);
    EXPECT_TRUE(Loaded(profile).IsSeen(listed.back(), longTitle, "")) << "a long title still matches itself";
}

TEST(SeenItems, ReadingStopsAtTheFirstMissingAddressAndTakesNoMoreThanTheBound)
{
    CMemoryProfile profile;
    profile.SetString(kSection, "Feed1", "http://a/feed");
    profile.SetString(kSection, "Title1", "One");
    profile.SetString(kSection, "Feed3", "http://c/feed");
    profile.SetString(kSection, "Title3", "Three");
    CSeenItems seen = Loaded(profile);
    EXPECT_EQ(seen.Size(), 1u);
    EXPECT_TRUE(seen.IsSeen("http://a/feed", "One", "")) << "an absent date reads as empty";

    CMemoryProfile full;
    for (int i = 1; i <= CSeenItems::kMaxEntries + 5; ++i)
        full.SetString(kSection, "Feed" + std::to_string(i), "http://feeds/" + std::to_string(i));
    EXPECT_EQ(Loaded(full).Size(), static_cast<std::size_t>(CSeenItems::kMaxEntries));

    CMemoryProfile wrongType;
    wrongType.SetDword(kSection, "Feed1", 7);
    EXPECT_EQ(Loaded(wrongType).Size(), 0u);
}

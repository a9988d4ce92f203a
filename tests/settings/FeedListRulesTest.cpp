#include "settings/FeedListRules.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::string Buttons(int selection, int count)
{
    const ListButtons b = ListButtonsFor(selection, count);
    return std::string(b.moveUp ? "U" : "u") + (b.moveDown ? "D" : "d") + (b.remove ? "R" : "r");
}

CStringArray Items(const std::vector<const char*>& texts)
{
    CStringArray items;
    for (const char* text : texts)
        items.Add(text);
    return items;
}

} // namespace

TEST(ListButtons, FollowTheSelection)
{
    EXPECT_EQ(Buttons(-1, 0), "udr");
    EXPECT_EQ(Buttons(-1, 3), "udr");
    EXPECT_EQ(Buttons(0, 1), "udR");
    EXPECT_EQ(Buttons(0, 3), "uDR");
    EXPECT_EQ(Buttons(1, 3), "UDR");
    EXPECT_EQ(Buttons(2, 3), "UdR");
    EXPECT_EQ(Buttons(3, 3), "udr"); // a selection past the end is no selection
}

TEST(DroppedText, IsTakenUnchangedUpToItsTerminator)
{
    const char block[] = "  http://a.test/rss \r\nsecond line\0after";
    EXPECT_STREQ(DroppedText(block, sizeof block), "  http://a.test/rss \r\nsecond line");
    EXPECT_STREQ(DroppedText("", 1), "");
    EXPECT_STREQ(DroppedText(nullptr, 10), "");
}

TEST(DroppedText, WithoutATerminatorEndsWithItsBlock)
{
    // Under AddressSanitizer a read past the block is caught.
    std::vector<char> block(std::strlen("http://bare.test/"));
    std::memcpy(block.data(), "http://bare.test/", block.size());
    const CString text = DroppedText(block.data(), block.size());
    EXPECT_EQ(text.GetLength(), 17);
    EXPECT_STREQ(text, "http://bare.test/");
    EXPECT_STREQ(DroppedText(block.data(), 0), "");
}

TEST(FindFeedIgnoringCase, MatchesTheWholeTextInAnyLetterCaseAnywhereInTheList)
{
    const CStringArray items = Items({"http://a.test/", "http://B.test/Feed", "http://c.test/"});
    EXPECT_EQ(FindFeedIgnoringCase(items, "http://a.test/"), 0);
    EXPECT_EQ(FindFeedIgnoringCase(items, "HTTP://b.TEST/feed"), 1);
    EXPECT_EQ(FindFeedIgnoringCase(items, "http://C.TEST/"), 2);
    EXPECT_EQ(FindFeedIgnoringCase(items, "http://b.test/"), -1);      // a prefix of an item
    EXPECT_EQ(FindFeedIgnoringCase(items, "http://a.test/more"), -1);  // an item is a prefix of it
    EXPECT_EQ(FindFeedIgnoringCase(items, "http://a.test/ "), -1);     // blanks count
    EXPECT_EQ(FindFeedIgnoringCase(items, ""), -1);
    EXPECT_EQ(FindFeedIgnoringCase(CStringArray(), "http://a.test/"), -1);
}

// The order of the items: ascending by date, equal dates in the order read.
#include "feeds/CFeed.h"
#include "feeds/ParsePubDate.h"

#include "CTestDocument.h"
#include "FeedTitles.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

// Walks a channel with one item per (title, pubDate) pair.
void WalkItems(CFeed& feed, const std::vector<std::pair<std::string, std::string>>& items)
{
    CTestDocument document;
    const int channel = document.AddElement(document.AddElement(CTestDocument::kDocument, "rss"), "channel");
    for (const auto& entry : items) {
        const int item = document.AddElement(channel, "item");
        document.AddText(document.AddElement(item, "title"), entry.first.c_str());
        if (!entry.second.empty())
            document.AddText(document.AddElement(item, "pubDate"), entry.second.c_str());
    }
    feed.ParseNode(*document.Root());
}

// Hands one item element to ParseItem, outside any walk.
void ParseOneItem(CFeed& feed, const std::string& title, const std::string& pubDate)
{
    CTestDocument document;
    const int item = document.AddElement(CTestDocument::kDocument, "item");
    document.AddText(document.AddElement(item, "title"), title.c_str());
    document.AddText(document.AddElement(item, "pubDate"), pubDate.c_str());
    feed.ParseItem(*document.Node(item));
}


TEST(FeedItemOrder, PutsItemsInAscendingDateOrder)
{
    CFeed feed;
    WalkItems(feed, {{"3 June", "Tue, 03 Jun 2003 10:00:00 GMT"},
                     {"1 June", "Sun, 01 Jun 2003 10:00:00 GMT"},
                     {"2 June", "Mon, 02 Jun 2003 10:00:00 GMT"}});
    EXPECT_EQ(Titles(feed), (Titles_t{"1 June", "2 June", "3 June"}));
}

TEST(FeedItemOrder, KeepsItemsOfTheSameDateInTheOrderRead)
{
    CFeed feed;
    WalkItems(feed, {{"a", "Tue, 03 Jun 2003 10:00:00 GMT"},
                     {"b", "Tue, 03 Jun 2003 10:00:00 GMT"},
                     {"early", "Sun, 01 Jun 2003 10:00:00 GMT"},
                     {"c", "Tue, 03 Jun 2003 10:00:00 +0200"},
                     {"d", "tue, 3 jun 2003 10:0:0"}});
    EXPECT_EQ(Titles(feed), (Titles_t{"early", "a", "b", "c", "d"}));
}

TEST(FeedItemOrder, AppendsTheNewestAndPutsTheOldestFirst)
{
    CFeed feed;
    WalkItems(feed, {{"middle", "Mon, 02 Jun 2003 10:00:00 GMT"}});
    WalkItems(feed, {{"newest", "Mon, 02 Jun 2003 10:00:01 GMT"}});
    EXPECT_EQ(Titles(feed).back(), "newest");
    WalkItems(feed, {{"oldest", "Mon, 02 Jun 2003 09:59:59 GMT"}});
    EXPECT_EQ(Titles(feed), (Titles_t{"oldest", "middle", "newest"}));
}

TEST(FeedItemOrder, PutsUndatedItemsFirstInTheOrderRead)
{
    CFeed feed;
    WalkItems(feed, {{"dated", "Mon, 02 Jun 2003 10:00:00 GMT"},
                     {"undated 1", ""},
                     {"garbage date", "yesterday evening"},
                     {"undated 2", ""}});
    EXPECT_EQ(Titles(feed), (Titles_t{"undated 1", "garbage date", "undated 2", "dated"}));
}

TEST(FeedItemOrder, OrdersIsoDatesAmongTheOthers)
{
    CFeed feed;
    WalkItems(feed, {{"iso late", "2003-06-02T10:00:01Z"},
                     {"rfc", "Mon, 02 Jun 2003 10:00:00 GMT"},
                     {"iso early", "2003-06-02T09:00"}});
    EXPECT_EQ(Titles(feed), (Titles_t{"iso early", "rfc", "iso late"}));
}

// Dates drawn from a small pool, so that many compare equal, against the plain rule: the new
// item goes before the first item it is earlier than, dates read afresh for every comparison.
// The items come in batches, each read by a walk or handed to ParseItem one at a time.
TEST(FeedItemOrder, AgreesWithTheOneByOneRuleOnRandomFeeds)
{
    const std::vector<std::string> pool = {
        "", "garbage", "Jun", "Sun, 1 Jun 2003", "Sun, 1 Jun 2003 10:00:00", "Sun, 01 Jun 2003 10:00:00 GMT",
        "Mon, 2 Jun 2003 00:00:00", "Mon, 2 June 2003 00:00:00", "Fri, 31 Dec 1999 23:59:59",
        "Sat, 1 Jan 2000 00:00:00", "2003-06-01T10:00:00Z", "2003-06-01T10:00", "Tue, 3 Jun 03 01:02:03",
        "Wed, 10 Jun 2003 04:00", "Wednesday,,, 1 Jan 2050"};
    std::mt19937 random(42);
    for (int round = 0; round < 300; ++round) {
        CFeed feed;
        std::vector<std::pair<std::string, std::string>> expected;
        int next = 0;
        const int batches = 1 + static_cast<int>(random() % 4);
        for (int batch = 0; batch < batches; ++batch) {
            std::vector<std::pair<std::string, std::string>> items;
            const int count = static_cast<int>(random() % 40);
            for (int i = 0; i < count; ++i)
                items.push_back({std::to_string(next++), pool[random() % pool.size()]});

            for (const auto& item : items) {
                size_t at = 0;
                while (at < expected.size()) {
                    int n[6] = {0, 0, 0, 0, 0, 0};
                    int e[6] = {0, 0, 0, 0, 0, 0};
                    ParsePubDate(item.second.c_str(), n[0], n[1], n[2], n[3], n[4], n[5]);
                    ParsePubDate(expected[at].second.c_str(), e[0], e[1], e[2], e[3], e[4], e[5]);
                    int k = 0;
                    while (k < 6 && n[k] == e[k])
                        ++k;
                    if (k < 6 && n[k] < e[k])
                        break;
                    ++at;
                }
                expected.insert(expected.begin() + static_cast<long>(at), item);
            }

            if (random() % 2) {
                WalkItems(feed, items);
            } else {
                for (const auto& item : items)
                    ParseOneItem(feed, item.first, item.second);
            }
        }
        Titles_t expectedTitles;
        for (const auto& item : expected)
            expectedTitles.push_back(item.first);
        ASSERT_EQ(Titles(feed), expectedTitles) << "round " << round;
    }
}

TEST(FeedItemOrder, PutsItemsAlreadyThereBeforeNewOnesOfTheSameDate)
{
    CFeed feed;
    WalkItems(feed, {{"first load", "Mon, 02 Jun 2003 10:00:00"}, {"later", "Tue, 03 Jun 2003 10:00:00"}});
    WalkItems(feed, {{"second load", "Mon, 02 Jun 2003 10:00:00"}, {"earliest", "Sun, 01 Jun 2003 10:00:00"}});
    EXPECT_EQ(Titles(feed), (Titles_t{"earliest", "first load", "second load", "later"}));
}

TEST(FeedItemOrder, InsertsAnItemHandedToParseItemAtOnce)
{
    CFeed feed;
    WalkItems(feed, {{"1 June", "Sun, 01 Jun 2003 10:00:00"}, {"3 June", "Tue, 03 Jun 2003 10:00:00"}});
    ParseOneItem(feed, "2 June", "Mon, 02 Jun 2003 10:00:00");
    EXPECT_EQ(Titles(feed), (Titles_t{"1 June", "2 June", "3 June"}));
    ParseOneItem(feed, "2 June again", "Mon, 02 Jun 2003 10:00:00");
    EXPECT_EQ(Titles(feed), (Titles_t{"1 June", "2 June", "2 June again", "3 June"}));
}

TEST(FeedItemOrder, StartsAfreshWhenTheCallerEmptiesTheItems)
{
    CFeed feed;
    WalkItems(feed, {{"old 2", "Mon, 02 Jun 2003 10:00:00"}, {"old 3", "Tue, 03 Jun 2003 10:00:00"}});
    feed.m_items.RemoveAll();
    WalkItems(feed, {{"new 9", "Mon, 09 Jun 2003 10:00:00"}, {"new 1", "Sun, 01 Jun 2003 10:00:00"}});
    EXPECT_EQ(Titles(feed), (Titles_t{"new 1", "new 9"}));
    feed.m_items.RemoveAll();
    WalkItems(feed, {{"x", "Mon, 09 Jun 2003 10:00:00"}, {"y", "Mon, 09 Jun 2003 10:00:00"}});
    EXPECT_EQ(Titles(feed), (Titles_t{"x", "y"}));
}

TEST(FeedItemOrder, AddsToItemsThatTheCallerPutInAnyOrder)
{
    CFeed feed;
    CFeedItem fifth;
    fifth.m_strTitle = "5 June";
    fifth.m_strPubDate = "Thu, 05 Jun 2003 10:00:00";
    CFeedItem first;
    first.m_strTitle = "1 June";
    first.m_strPubDate = "Sun, 01 Jun 2003 10:00:00";
    feed.m_items.Add(fifth);
    feed.m_items.Add(first);
    WalkItems(feed, {{"3 June", "Tue, 03 Jun 2003 10:00:00"}, {"9 June", "Mon, 09 Jun 2003 10:00:00"}});
    // One by one: 3 June is earlier than 5 June, the first item; 9 June is earlier than none.
    EXPECT_EQ(Titles(feed), (Titles_t{"3 June", "5 June", "1 June", "9 June"}));
}

TEST(FeedItemOrder, TakesTenThousandItemsInReverseOrder)
{
    std::vector<std::pair<std::string, std::string>> items;
    for (int i = 9999; i >= 0; --i) {
        char date[64];
        std::snprintf(date, sizeof date, "Sun, %d Jan %d %02d:%02d:%02d GMT", 1 + i % 28, 2000 + i / 1000,
                      (i / 60) % 24, i % 60, (i * 7) % 60);
        items.push_back({std::to_string(i), date});
    }
    CFeed feed;
    WalkItems(feed, items);
    ASSERT_EQ(feed.m_items.GetSize(), 10000);
    for (int i = 1; i < feed.m_items.GetSize(); ++i) {
        int a[6] = {0, 0, 0, 0, 0, 0}, b[6] = {0, 0, 0, 0, 0, 0};
        ParsePubDate(feed.m_items[i - 1].m_strPubDate, a[0], a[1], a[2], a[3], a[4], a[5]);
        ParsePubDate(feed.m_items[i].m_strPubDate, b[0], b[1], b[2], b[3], b[4], b[5]);
        ASSERT_LE(std::vector<int>(a, a + 6), std::vector<int>(b, b + 6)) << "at " << i;
    }
}

} // namespace

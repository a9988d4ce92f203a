#include "feeds/FeedHealth.h"

#include <gtest/gtest.h>

namespace {

FeedLoadFacts Facts(unsigned status, long result = 0, bool downloaded = false, bool parsed = false, int items = 0)
{
    FeedLoadFacts facts;
    facts.status = status;
    facts.result = result;
    facts.downloaded = downloaded;
    facts.parsed = parsed;
    facts.items = items;
    return facts;
}

std::string Text(const FeedLoadFacts& facts, const std::string& when = "")
{
    CFeedHealthBook book;
    return FeedHealthText(book.Record("http://a/feed", "http://a/feed", facts, when));
}

} // namespace

TEST(FeedHealth, EachWayALoadEndsIsSaidInTheUsersWords)
{
    EXPECT_EQ(Text(Facts(200, 0, true, true, 12), "14:05"), "12 items, 14:05");
    EXPECT_EQ(Text(Facts(200, 0, true, true, 1)), "1 item");
    EXPECT_EQ(Text(Facts(304), "09:00"), "unchanged, 09:00");
    EXPECT_EQ(Text(Facts(404, static_cast<long>(0x800C0005ul))), "not found (404)");
    EXPECT_EQ(Text(Facts(410)), "not found (410)");
    EXPECT_EQ(Text(Facts(500)), "server error (500)");
    EXPECT_EQ(Text(Facts(403)), "server error (403)");
    EXPECT_EQ(Text(Facts(200, 0, true, false)), "not a feed");
    EXPECT_EQ(Text(Facts(0, static_cast<long>(0x800C0019ul))), "certificate not trusted"); // invalid certificate
    EXPECT_EQ(Text(Facts(0, static_cast<long>(0x800B0109ul))), "certificate not trusted"); // untrusted root
    EXPECT_EQ(Text(Facts(0, static_cast<long>(0x80072F0Dul))), "certificate not trusted"); // invalid CA
    EXPECT_EQ(Text(Facts(0, static_cast<long>(0x800C0004ul))), "no answer");                // cannot connect
    EXPECT_EQ(Text(Facts(0, static_cast<long>(0x80004004ul))), "no answer");                // aborted
    FeedLoadFacts stalled = Facts(0, static_cast<long>(0x800C0019ul));
    stalled.abandoned = true;
    EXPECT_EQ(Text(stalled), "no answer") << "a download given up on is no answer, whatever came before";
}

TEST(FeedHealth, ARedirectElsewhereIsSaidAfterTheOutcome)
{
    CFeedHealthBook book;
    FeedLoadFacts facts = Facts(200, 0, true, true, 3);
    facts.redirectedTo = "https://b/feed";
    EXPECT_EQ(FeedHealthText(book.Record("http://a/feed", "http://a/feed", facts, "")), "3 items, moved to https://b/feed");
    facts.redirectedTo = "http://a/feed";
    EXPECT_EQ(FeedHealthText(book.Record("http://a/feed", "http://a/feed", facts, "")), "3 items") << "to itself";
}

TEST(FeedHealth, FailuresInARowAreCountedUntilAFeedComesAndOnlyListedFeedsAreKept)
{
    CFeedHealthBook book;
    const char feed[] = "http://a/feed";
    EXPECT_EQ(book.Find(feed), nullptr);
    EXPECT_EQ(book.Record(feed, feed, Facts(404), "").failuresInRow, 1);
    EXPECT_EQ(book.Record(feed, feed, Facts(0), "").failuresInRow, 2);
    EXPECT_EQ(book.Record(feed, feed, Facts(200, 0, true, false), "").failuresInRow, kFailuresToTell);
    EXPECT_EQ(book.Record(feed, feed, Facts(304), "").failuresInRow, 0) << "unchanged is no failure";
    EXPECT_EQ(book.Record(feed, feed, Facts(500), "").failuresInRow, 1);
    EXPECT_EQ(book.Record(feed, feed, Facts(200, 0, true, true, 2), "").failuresInRow, 0);
    EXPECT_EQ(book.Record("http://b/feed", "http://b/feed", Facts(404), "").failuresInRow, 1) << "each feed its own";

    book.KeepOnly({"http://b/feed"});
    EXPECT_EQ(book.Find(feed), nullptr);
    ASSERT_NE(book.Find("http://b/feed"), nullptr);
    EXPECT_EQ(book.Find("http://b/feed")->kind, FeedHealthKind::NotFound);
}

// What a feed's server says beyond the body, and what the popup makes of it at the next refresh.
#include <gtest/gtest.h>

#include "feeds/CFeedPolling.h"
#include "feeds/HttpAnswer.h"

namespace {

const long long kNow = 1765274400; // Tue, 09 Dec 2025 10:00:00 GMT

std::shared_ptr<CFeed> FeedWith(const char* title)
{
    auto feed = std::make_shared<CFeed>();
    CFeedItem item;
    item.m_strTitle = title;
    feed->m_items.Add(item);
    return feed;
}

CHttpAnswer Answer(unsigned status, const char* etag = "", long long retryAfter = -1)
{
    CHttpAnswer answer;
    answer.status = status;
    answer.validators.etag = etag;
    answer.retryAfterSeconds = retryAfter;
    return answer;
}

} // namespace

TEST(HttpAnswer, ReadsTheValidatorsAndTheWait)
{
    const CHttpAnswer answer = ReadHttpAnswer(
        503, "HTTP/1.1 503 Busy\r\netag: W/\"v-12\"\r\nLast-Modified: Mon, 08 Dec 2025 09:30:00 GMT\r\n"
             "Retry-After:  120 \r\nETag: \"second\"\r\n\r\n",
        kNow);
    EXPECT_EQ(answer.status, 503u);
    EXPECT_EQ(answer.validators.etag, "W/\"v-12\"") << "the first of a repeated header counts";
    EXPECT_EQ(answer.validators.lastModified, "Mon, 08 Dec 2025 09:30:00 GMT");
    EXPECT_EQ(answer.retryAfterSeconds, 120);

    EXPECT_EQ(ReadHttpAnswer(429, "Retry-After: Tue, 09 Dec 2025 10:05:00 GMT\n", kNow).retryAfterSeconds, 300);
    EXPECT_EQ(ReadHttpAnswer(429, "Retry-After: Tue, 09 Dec 2025 09:00:00 GMT\n", kNow).retryAfterSeconds, 0)
        << "a time past is no wait";
    EXPECT_EQ(ReadHttpAnswer(429, "Retry-After: 99999999999999999999\n", kNow).retryAfterSeconds,
              kLongestRetryAfterSeconds);
    for (const char* odd : {"Retry-After: soon", "Retry-After: -5", "Retry-After:", "Retry-After 10"})
        EXPECT_EQ(ReadHttpAnswer(503, odd, kNow).retryAfterSeconds, -1) << odd;
    EXPECT_EQ(ReadHttpAnswer(200, "", kNow).validators.Empty(), true);
}

TEST(HttpAnswer, AValidatorThatCouldSplitTheNextRequestIsDropped)
{
    // Whatever the server gives goes back into a request line of ours.
    EXPECT_EQ(ReadHttpAnswer(200, std::string("ETag: \"a\rInjected: 1\"\n"), kNow).validators.etag, "");
    EXPECT_EQ(ReadHttpAnswer(200, "ETag: \"\xc3\xa9\"\n", kNow).validators.etag, "");
    EXPECT_EQ(ReadHttpAnswer(200, "ETag: \"" + std::string(600, 'x') + "\"\n", kNow).validators.etag, "");
    EXPECT_EQ(ReadHttpAnswer(200, "Last-Modified: yesterday\n", kNow).validators.lastModified, "")
        << "a date no server would send back to us";
    CHttpValidators hostile;
    hostile.etag = "\"x\"\r\nHost: elsewhere";
    hostile.lastModified = "Mon, 08 Dec 2025 09:30:00 GMT";
    EXPECT_EQ(ConditionalRequestHeaders(hostile), "If-Modified-Since: Mon, 08 Dec 2025 09:30:00 GMT\r\n");
    hostile.etag = "\"v1\"";
    EXPECT_EQ(ConditionalRequestHeaders(hostile),
              "If-None-Match: \"v1\"\r\nIf-Modified-Since: Mon, 08 Dec 2025 09:30:00 GMT\r\n");
    EXPECT_EQ(ConditionalRequestHeaders(CHttpValidators()), "");
}

TEST(HttpAnswer, HttpDates)
{
    EXPECT_EQ(HttpDateToEpochSeconds("Sun, 06 Nov 1994 08:49:37 GMT"), 784111777);
    EXPECT_EQ(HttpDateToEpochSeconds("Thu, 01 Jan 1970 00:00:00 GMT"), 0);
    EXPECT_EQ(HttpDateToEpochSeconds("Tue, 29 Feb 2000 12:00:00 GMT"), 951825600);
    for (const char* odd : {"", "Sun, 06 Xyz 1994 08:49:37 GMT", "Sun, 32 Nov 1994 08:49:37 GMT", "06 Nov 1994",
                            "Sun, 06 Nov 1994 25:00:00 GMT"})
        EXPECT_EQ(HttpDateToEpochSeconds(odd), -1) << odd;
}

TEST(FeedPolling, AskAgainOnlyIfChangedAndShowWhatIsKept)
{
    CFeedPolling polling;
    const std::string url = "https://news.test/feed.xml";
    CFeedPolling::Plan plan = polling.PlanLoad(url, kNow);
    EXPECT_TRUE(plan.ask);
    EXPECT_TRUE(plan.conditions.Empty()) << "nothing kept: a plain request";

    const std::shared_ptr<CFeed> first = FeedWith("first");
    EXPECT_EQ(polling.Answered(url, kNow, Answer(200, "\"v1\""), first), first);
    plan = polling.PlanLoad(url, kNow + 60);
    EXPECT_TRUE(plan.ask);
    EXPECT_EQ(plan.conditions.etag, "\"v1\"");
    EXPECT_EQ(plan.kept, first);

    // Not modified: the kept feed, not the empty one of a load that read no body.
    EXPECT_EQ(polling.Answered(url, kNow + 60, Answer(304), std::make_shared<CFeed>()), first);
    // Changed: the new one, and its validators from now on.
    const std::shared_ptr<CFeed> second = FeedWith("second");
    EXPECT_EQ(polling.Answered(url, kNow + 120, Answer(200, "\"v2\""), second), second);
    EXPECT_EQ(polling.PlanLoad(url, kNow + 180).conditions.etag, "\"v2\"");
    // A failed load shows the no-feeds page, but the feed kept stays for the next answer.
    const std::shared_ptr<CFeed> failed = std::make_shared<CFeed>();
    EXPECT_EQ(polling.Answered(url, kNow + 180, Answer(404), failed), failed);
    EXPECT_EQ(polling.PlanLoad(url, kNow + 240).kept, second);
}

TEST(FeedPolling, ABusyServerIsLeftAloneUntilItSaid)
{
    CFeedPolling polling;
    const std::string url = "http://busy.test/feed";
    const std::shared_ptr<CFeed> kept = FeedWith("kept");
    polling.Answered(url, kNow, Answer(200, "\"e\""), kept);
    EXPECT_EQ(polling.Answered(url, kNow + 10, Answer(503, "", 600), std::make_shared<CFeed>()), kept)
        << "the refresh shows what it has";
    EXPECT_FALSE(polling.PlanLoad(url, kNow + 300).ask);
    EXPECT_EQ(polling.PlanLoad(url, kNow + 300).kept, kept);
    EXPECT_TRUE(polling.PlanLoad(url, kNow + 610).ask);
    // Without a feed kept, a 429 shows nothing, and still holds the feed back.
    const std::string other = "http://other.test/feed";
    const std::shared_ptr<CFeed> empty = std::make_shared<CFeed>();
    EXPECT_EQ(polling.Answered(other, kNow, Answer(429, "", 30), empty), empty);
    EXPECT_FALSE(polling.PlanLoad(other, kNow + 20).ask);
    EXPECT_TRUE(polling.PlanLoad(other, kNow + 20).conditions.Empty()) << "no condition without a feed kept";
}

TEST(FeedPolling, KeepsOnlyTheFeedsOfTheListInUse)
{
    CFeedPolling polling;
    polling.Answered("http://a.test/", kNow, Answer(200, "\"a\""), FeedWith("a"));
    polling.Answered("http://b.test/", kNow, Answer(200, "\"b\""), FeedWith("b"));
    polling.Answered("file:///c:/feed.xml", kNow, Answer(0), FeedWith("local"));
    EXPECT_EQ(polling.KeptCount(), 2u) << "a feed read without HTTP has no validators to keep";
    polling.KeepOnly(std::vector<std::string>{"http://b.test/"});
    EXPECT_EQ(polling.KeptCount(), 1u);
    EXPECT_TRUE(polling.PlanLoad("http://a.test/", kNow).conditions.Empty());
    EXPECT_EQ(polling.PlanLoad("http://b.test/", kNow).conditions.etag, "\"b\"");
}

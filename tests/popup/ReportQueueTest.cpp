// The queue of reports on their way to the service: what goes when, in what order, what is
// tried again and how long after, and what is dropped when too many wait.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "popup/CReportQueue.h"

namespace {

// Takes the report due at `now`; empty when none may go.
std::string Take(CReportQueue& queue, unsigned long long now)
{
    std::string path;
    return queue.TakeNext(now, path) ? path : std::string();
}

unsigned long long Due(const CReportQueue& queue)
{
    unsigned long long at = 0;
    EXPECT_TRUE(queue.NextTime(at));
    return at;
}

} // namespace

TEST(ReportQueue, WhatEndsAReport)
{
    for (unsigned status : {200u, 204u, 299u, 301u, 400u, 404u, 410u, 429u, 500u, 501u, 505u})
        EXPECT_TRUE(EndsReport(status)) << status;
    for (unsigned status : {0u, 502u, 503u, 504u})
        EXPECT_FALSE(EndsReport(status)) << status;
}

TEST(ReportQueue, OneAtATimeInOrder)
{
    CReportQueue queue;
    unsigned long long at = 0;
    EXPECT_FALSE(queue.NextTime(at));
    EXPECT_EQ(Take(queue, 0), "");
    queue.Add("/a");
    queue.Add("/b");
    EXPECT_EQ(Take(queue, 100), "/a");
    EXPECT_TRUE(queue.IsSending());
    EXPECT_EQ(Take(queue, 100), "") << "a second report went while the first was out";
    EXPECT_FALSE(queue.NextTime(at));
    queue.Add("/c");
    queue.Answered(150, 200, -1, 0.0);
    EXPECT_EQ(Due(queue), 150u) << "after a report that was taken the next goes at once";
    EXPECT_EQ(Take(queue, 150), "/b");
    queue.Answered(160, 404, -1, 0.0); // a 4xx ends a report too
    EXPECT_EQ(Take(queue, 160), "/c");
    queue.Answered(170, 204, -1, 0.0);
    EXPECT_EQ(queue.Size(), 0u);
    EXPECT_FALSE(queue.NextTime(at));
    queue.Answered(180, 503, 5, 0.0); // nothing out: an answer for nothing changes nothing
    EXPECT_EQ(queue.FailuresInARow(), 0u);
}

TEST(ReportQueue, FailuresAreTriedAgainFirstAfterAGrowingWait)
{
    CReportQueue queue;
    queue.Add("/a");
    queue.Add("/b");
    unsigned long long now = 1000;
    std::vector<unsigned long long> waits;
    for (unsigned status : {0u, 502u, 503u, 504u, 0u}) {
        EXPECT_EQ(Take(queue, now), "/a");
        queue.Answered(now, status, -1, 0.0);
        const unsigned long long due = Due(queue);
        EXPECT_EQ(Take(queue, due - 1), "") << "tried again before its wait was over";
        waits.push_back(due - now);
        now = due;
    }
    EXPECT_EQ(waits, (std::vector<unsigned long long>{1000, 2000, 4000, 8000, 16000}));
    EXPECT_EQ(queue.FailuresInARow(), 5u);
    EXPECT_EQ(Take(queue, now), "/a") << "the failed report keeps its place in front";
    queue.Answered(now, 200, -1, 0.0);
    EXPECT_EQ(queue.FailuresInARow(), 0u);
    EXPECT_EQ(Take(queue, now), "/b");
    queue.Answered(now, 503, -1, 0.0);
    EXPECT_EQ(Due(queue) - now, 1000u) << "a taken report starts the wait from the beginning";
}

TEST(ReportQueue, WaitsGrowToALimitAndHonourRetryAfter)
{
    EXPECT_EQ(ReportRetryWaitMs(1, -1, 0.0), 1000u);
    EXPECT_EQ(ReportRetryWaitMs(9, -1, 0.0), 256000u);
    EXPECT_EQ(ReportRetryWaitMs(10, -1, 0.0), CReportQueue::kLongestWaitMs);
    EXPECT_EQ(ReportRetryWaitMs(4000000000u, -1, 0.0), CReportQueue::kLongestWaitMs);
    // The spread lengthens the wait by up to as much again; odd spreads add nothing.
    EXPECT_EQ(ReportRetryWaitMs(2, -1, 0.5), 3000u);
    EXPECT_EQ(ReportRetryWaitMs(2, -1, 1.0), 4000u);
    for (double odd : {-0.5, 1.5, 1e308 * 10, -1e308 * 10})
        EXPECT_EQ(ReportRetryWaitMs(2, -1, odd), 2000u) << odd;
    // Never sooner than the server asked, up to an hour; a shorter Retry-After leaves the wait.
    EXPECT_EQ(ReportRetryWaitMs(1, 30, 0.0), 30000u);
    EXPECT_EQ(ReportRetryWaitMs(3, 1, 0.0), 4000u);
    EXPECT_EQ(ReportRetryWaitMs(1, 0, 0.0), 1000u);
    EXPECT_EQ(ReportRetryWaitMs(1, 7200, 0.0), CReportQueue::kLongestRetryAfterMs);
    EXPECT_EQ(ReportRetryWaitMs(1, 9223372036854775807LL, 0.0), CReportQueue::kLongestRetryAfterMs);

    CReportQueue queue;
    queue.Add("/a");
    EXPECT_EQ(Take(queue, 0), "/a");
    queue.Answered(0, 503, 120, 0.0);
    EXPECT_EQ(Due(queue), 120000u);
    // Retry-After of an answer that ends the report does not hold the next one.
    EXPECT_EQ(Take(queue, 120000), "/a");
    queue.Add("/b");
    queue.Answered(120000, 429, 3600, 0.0);
    EXPECT_EQ(Due(queue), 120000u);
}

TEST(ReportQueue, KeepsTwoHundredDroppingTheOldestFirst)
{
    CReportQueue queue;
    for (int i = 0; i < 205; ++i)
        queue.Add("/" + std::to_string(i));
    EXPECT_EQ(queue.Size(), CReportQueue::kMostReports);
    EXPECT_EQ(queue.Dropped(), 5u);
    EXPECT_EQ(Take(queue, 0), "/5");
    // The report that is out stays; the oldest of those waiting behind it goes.
    queue.Add("/205");
    EXPECT_EQ(queue.Dropped(), 6u);
    queue.Answered(0, 0, -1, 0.0);
    const unsigned long long due = Due(queue);
    EXPECT_EQ(Take(queue, due), "/5");
    queue.Answered(due, 200, -1, 0.0);
    EXPECT_EQ(Take(queue, due), "/7");

    queue.Clear();
    EXPECT_EQ(queue.Size(), 0u);
    EXPECT_FALSE(queue.IsSending());
    EXPECT_EQ(queue.Dropped(), 6u) << "the count of drops outlives a clear";
    queue.Add("/after");
    EXPECT_EQ(Take(queue, 0), "/after");
}

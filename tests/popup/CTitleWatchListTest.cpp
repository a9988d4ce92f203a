#include "popup/CTitleWatchList.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace {
using Window = CTitleWatchList::Window;
const size_t kTick = CTitleWatchList::kReadsPerTick;

std::vector<Window> Batch(CTitleWatchList& list)
{
    Window batch[kTick];
    const size_t count = list.NextBatch(batch);
    return std::vector<Window>(batch, batch + count);
}

// The windows read over the given number of ticks, in order.
std::vector<Window> Reads(CTitleWatchList& list, size_t ticks)
{
    std::vector<Window> reads;
    for (size_t i = 0; i < ticks; ++i) {
        const std::vector<Window> batch = Batch(list);
        EXPECT_LE(batch.size(), kTick);
        reads.insert(reads.end(), batch.begin(), batch.end());
    }
    return reads;
}
}

TEST(CTitleWatchList, EveryKeptWindowIsReadInTurnWithinTheBudget)
{
    CTitleWatchList list;
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_TRUE(Batch(list).empty());
    for (Window w = 1; w <= 40; ++w)
        list.Add(w);
    EXPECT_EQ(list.Size(), 40u);
    // 40 windows, 16 a tick: every window is read within three ticks, none twice before all once.
    const size_t ticks = (40 + kTick - 1) / kTick;
    std::vector<Window> reads = Reads(list, ticks);
    std::set<Window> once(reads.begin(), reads.begin() + 40);
    EXPECT_EQ(once.size(), 40u);
    // And the turn goes on where it stopped.
    std::vector<Window> next = Batch(list);
    ASSERT_FALSE(next.empty());
    EXPECT_EQ(next.front(), reads.back() + 1) << "the turn should go on where it stopped";
}

TEST(CTitleWatchList, FewWindowsAreEachReadOncePerTick)
{
    CTitleWatchList list;
    list.Add(7);
    list.Add(9);
    EXPECT_EQ(Batch(list), (std::vector<Window>{7, 9}));
    EXPECT_EQ(Batch(list), (std::vector<Window>{7, 9}));
    list.Add(0); // no window
    EXPECT_EQ(list.Size(), 2u);
}

TEST(CTitleWatchList, TheListKeepsTheMostRecentlyReportedWindows)
{
    CTitleWatchList list;
    for (Window w = 1; w <= CTitleWatchList::kCapacity; ++w)
        list.Add(w);
    list.Add(1); // reported again: now the newest
    list.Add(1000);
    EXPECT_EQ(list.Size(), CTitleWatchList::kCapacity);
    std::vector<Window> reads = Reads(list, CTitleWatchList::kCapacity / kTick);
    std::set<Window> kept(reads.begin(), reads.end());
    EXPECT_EQ(kept.size(), CTitleWatchList::kCapacity);
    EXPECT_EQ(kept.count(2), 0u) << "the window reported longest ago should have left";
    EXPECT_EQ(kept.count(1), 1u);
    EXPECT_EQ(kept.count(1000), 1u);
    // Hundreds of windows still make a list of kCapacity, read kReadsPerTick at a time.
    for (Window w = 5000; w < 5500; ++w)
        list.Add(w);
    EXPECT_EQ(list.Size(), CTitleWatchList::kCapacity);
    EXPECT_EQ(Batch(list).size(), kTick);
}

TEST(CTitleWatchList, RemovingWindowsMidTurnSkipsNoneOfTheOthers)
{
    CTitleWatchList list;
    for (Window w = 1; w <= 20; ++w)
        list.Add(w);
    std::vector<Window> first = Batch(list); // 1..16
    ASSERT_EQ(first.size(), kTick);
    EXPECT_EQ(first.front(), 1u);
    list.Remove(3);  // before the turn's place
    list.Remove(17); // the one due next
    list.Remove(99); // never kept
    EXPECT_EQ(list.Size(), 18u);
    std::vector<Window> second = Batch(list);
    ASSERT_FALSE(second.empty());
    EXPECT_EQ(second.front(), 18u);
    EXPECT_EQ(std::set<Window>(second.begin(), second.end()).count(3), 0u);
    EXPECT_EQ(std::set<Window>(second.begin(), second.end()).count(17), 0u);
    while (!list.IsEmpty()) {
        for (Window w : Batch(list))
            list.Remove(w);
    }
    EXPECT_TRUE(Batch(list).empty());
}

#include "fw/DumpRetention.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {
std::vector<std::wstring> Sorted(std::vector<std::wstring> names)
{
    std::sort(names.begin(), names.end());
    return names;
}
}

TEST(DumpRetentionTest, KeepsTheNewestByTimeWhateverTheOrderFound)
{
    const std::vector<DumpFileEntry> entries{{L"e.dmp", 50}, {L"a.dmp", 10}, {L"g.dmp", 70}, {L"c.dmp", 30},
                                             {L"f.dmp", 60}, {L"b.dmp", 20}, {L"d.dmp", 40}};
    EXPECT_EQ(Sorted(DumpsToRemove(entries, 5)), (std::vector<std::wstring>{L"a.dmp", L"b.dmp"}));
    EXPECT_EQ(Sorted(DumpsToRemove(entries, 1)),
              (std::vector<std::wstring>{L"a.dmp", L"b.dmp", L"c.dmp", L"d.dmp", L"e.dmp", L"f.dmp"}));
    EXPECT_EQ(DumpsToRemove(entries, 0).size(), entries.size());
}

TEST(DumpRetentionTest, RemovesNothingWhileThereAreNoMoreThanKept)
{
    EXPECT_TRUE(DumpsToRemove({}, 5).empty());
    EXPECT_TRUE(DumpsToRemove({{L"a.dmp", 1}, {L"b.dmp", 2}, {L"c.dmp", 3}, {L"d.dmp", 4}, {L"e.dmp", 5}}, 5).empty());
}

TEST(DumpRetentionTest, OfDumpsWrittenTogetherTheLaterNameIsNewer)
{
    // Names carry the time to the second; the file times may tie on a coarse file system.
    const std::vector<DumpFileEntry> entries{{L"Lullcast-20261209-101502-7.dmp", 9},
                                             {L"Lullcast-20261209-101500-7.dmp", 9},
                                             {L"Lullcast-20261209-101501-7.dmp", 9}};
    EXPECT_EQ(DumpsToRemove(entries, 2), (std::vector<std::wstring>{L"Lullcast-20261209-101500-7.dmp"}));
}

#include "fw/BoundedRetry.h"
#include "fw/ScanUnsigned.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The number read, or -1 when the text holds none.
long long Scan(const std::string& text)
{
    unsigned value = 12345;
    return ScanUnsigned(text.c_str(), value) ? static_cast<long long>(value) : -1;
}

} // namespace

TEST(ScanUnsigned, ReadsTheLeadingNumberAsPercentUDoes)
{
    EXPECT_EQ(Scan("  7abc"), 7);
    EXPECT_EQ(Scan("\t\r\n 120"), 120);
    EXPECT_EQ(Scan("+15"), 15);
    EXPECT_EQ(Scan("0007 8"), 7);
    for (const char* none : {"", "   ", "abc7", "-", "- 5", "+-5"})
        EXPECT_EQ(Scan(none), -1) << none;
    unsigned value = 0;
    EXPECT_FALSE(ScanUnsigned(nullptr, value));
    // Only the first 63 characters count.
    EXPECT_EQ(Scan(std::string(62, ' ') + "5"), 5);
    EXPECT_EQ(Scan(std::string(63, ' ') + "5"), -1);
    EXPECT_EQ(Scan(std::string(60, ' ') + "12345"), 123);
}

// Neither a minus nor too many digits may wrap round to a number that passes for 1 to 120.
TEST(ScanUnsigned, MinusAndOverflowGiveHugeNumbersNeverSmallOnes)
{
    EXPECT_EQ(Scan("-1"), 4294967295LL);
    EXPECT_EQ(Scan("-120"), 4294967176LL);
    EXPECT_EQ(Scan("-0"), 0);
    EXPECT_GE(Scan("-4294967290"), 0x80000000LL);
    EXPECT_GE(Scan("-99999999999999999999999"), 0x80000000LL);
    EXPECT_EQ(Scan("4294967301"), 4294967295LL);
    EXPECT_EQ(Scan(std::string(60, '9')), 4294967295LL);
}

TEST(RunBounded, EndsAnAttemptThatKeepsStartingOverAndStopsAtAFailure)
{
    int calls = 0;
    EXPECT_FALSE(RunBounded(4, [&] { return ++calls, AttemptResult::StartOver; }));
    EXPECT_EQ(calls, 4);
    calls = 0;
    EXPECT_TRUE(RunBounded(4, [&] { return ++calls < 3 ? AttemptResult::StartOver : AttemptResult::Done; }));
    EXPECT_EQ(calls, 3);
    calls = 0;
    EXPECT_FALSE(RunBounded(4, [&] { return ++calls, AttemptResult::Failed; }));
    EXPECT_EQ(calls, 1);
}

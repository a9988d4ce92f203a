#include "feeds/CPubDate.h"
#include "feeds/ParsePubDate.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

const int kUnwritten = -999;

struct Date {
    int year = kUnwritten, month = kUnwritten, day = kUnwritten;
    int hour = kUnwritten, minute = kUnwritten, second = kUnwritten;
};

Date Parse(const char* text)
{
    Date d;
    ParsePubDate(text, d.year, d.month, d.day, d.hour, d.minute, d.second);
    return d;
}

void ExpectDate(const char* text, int year, int month, int day, int hour, int minute, int second)
{
    SCOPED_TRACE(text);
    const Date d = Parse(text);
    EXPECT_EQ(d.year, year);
    EXPECT_EQ(d.month, month);
    EXPECT_EQ(d.day, day);
    EXPECT_EQ(d.hour, hour);
    EXPECT_EQ(d.minute, minute);
    EXPECT_EQ(d.second, second);
}

void ExpectNothingWritten(const char* text)
{
    ExpectDate(text, kUnwritten, kUnwritten, kUnwritten, kUnwritten, kUnwritten, kUnwritten);
}

const int X = kUnwritten;

TEST(ParsePubDate, ReadsTheExamplesOfTheDateFormat)
{
    ExpectDate("Tue, 10 Jun 2003 04:00:00 GMT", 2003, 6, 10, 4, 0, 0);
    ExpectDate("wed, 2 OCT 02 8:05:09 EST", 2, 10, 2, 8, 5, 9);
    ExpectDate("Mon, 06 Sep 2010 16:45 +0000", 2010, 9, 6, 16, 45, X);
    ExpectNothingWritten("10 Jun 2003 04:00:00 GMT");
    ExpectDate("Fri, 01 June 2007 10:00:00 GMT", 2007, X, 1, 10, 0, 0);
}

TEST(ParsePubDate, KnowsTheTwelveMonthsWhateverTheirCase)
{
    const char* names[] = {"jan", "FEB", "Mar", "aPR", "May", "JUN", "jul", "Aug", "SEP", "oct", "Nov", "dEc"};
    for (int i = 0; i < 12; ++i) {
        const std::string text = std::string("Sun, 1 ") + names[i] + " 2000 00:00:00";
        ExpectDate(text.c_str(), 2000, i + 1, 1, 0, 0, 0);
    }
    ExpectDate("Sun, 1 Juni 2000", 2000, X, 1, X, X, X);
    ExpectDate("Sun, 1 Ju 2000", 2000, X, 1, X, X, X);
}

TEST(ParsePubDate, StopsAtTheFirstPartThatDoesNotMatch)
{
    ExpectNothingWritten("");
    ExpectNothingWritten("   \t\r\n ");
    ExpectNothingWritten(nullptr);
    ExpectNothingWritten("Tue,");
    ExpectDate("Tue, 10", X, X, 10, X, X, X);
    ExpectDate("Tue, 10 Jun", X, 6, 10, X, X, X);
    ExpectDate("Tue, 10 Jun 2003", 2003, 6, 10, X, X, X);
    ExpectDate("Tue, 10 Jun 2003 04", 2003, 6, 10, 4, X, X);
    ExpectDate("Tue, 10 Jun 2003 04 :00:00", 2003, 6, 10, 4, X, X);   // ':' must follow at once
    ExpectDate("Tue, 10 Jun 2003 04: 05: 06", 2003, 6, 10, 4, 5, 6);  // a number skips blanks
    ExpectDate("Tue, 10 Jun 2003 04.00.00", 2003, 6, 10, 4, X, X);
    ExpectDate("Tue, ten Jun 2003", X, X, X, X, X, X);
    ExpectDate("Tue,10 Jun 2003", X, X, X, X, X, X);                   // "Tue,10" is the first token
    ExpectDate("Tue,\t10\nJun\r2003  04:00:00", 2003, 6, 10, 4, 0, 0);
    ExpectDate("Tue, 10Jun 2003", 2003, 6, 10, X, X, X);               // the token starts after the number
    ExpectDate("Tue, +10 Jun -2003 04:00:00", -2003, 6, 10, 4, 0, 0);
    ExpectDate("Tue, - 10 Jun 2003", X, X, X, X, X, X);
}

TEST(ParsePubDate, ComparesTheFirstTokenWhenTheSecondIsNeverRead)
{
    ExpectDate("Jun", X, 6, X, X, X, X);
    ExpectDate("Jun 10", X, 6, 10, X, X, X);
    ExpectDate("Jun x", X, 6, X, X, X, X);
    ExpectDate("Tue, 10 Jun", X, 6, 10, X, X, X);
    ExpectDate("Jun, 10 Tue", X, X, 10, X, X, X);
}

TEST(ParsePubDate, HoldsHugeNumbersAtTheEndsOfTheRange)
{
    ExpectDate("Tue, 99999999999999999999 Jun 2003", 2003, 6, INT_MAX, X, X, X);
    ExpectDate("Tue, 1 Jun -99999999999999999999", INT_MIN, 6, 1, X, X, X);
    ExpectDate("Tue, 1 Jun 2147483647 2147483648:-2147483648:-2147483649", INT_MAX, 6, 1, INT_MAX, INT_MIN, INT_MIN);
}

TEST(ParsePubDate, ReadsIsoDatesIntoTheSixComponents)
{
    ExpectDate("2003-06-10T04:00:00Z", 2003, 6, 10, 4, 0, 0);
    ExpectDate("2003-06-10T04:05:06", 2003, 6, 10, 4, 5, 6);
    ExpectDate("2003-06-10T04:05", 2003, 6, 10, 4, 5, X);
    ExpectDate("2003-06-10T04:05Z", 2003, 6, 10, 4, 5, X);
    ExpectDate("2003-06-10T04:05:06.123456Z", 2003, 6, 10, 4, 5, 6);
    ExpectDate("2003-06-10T04:05:06,5+02:00", 2003, 6, 10, 4, 5, 6);
    ExpectDate("2003-06-10T04:05:06-0500", 2003, 6, 10, 4, 5, 6);
    ExpectDate("2003-06-10T04:05:06+02", 2003, 6, 10, 4, 5, 6);
    ExpectDate("2003-06-10t23:59:59z", 2003, 6, 10, 23, 59, 59);
    ExpectDate("  2003-06-10T04:05:06Z and more", 2003, 6, 10, 4, 5, 6);
}

TEST(ParsePubDate, GivesNothingForOtherTokensLongerThanTheBuffer)
{
    ExpectNothingWritten("2003-06-10T04:05:06ZZ");
    ExpectNothingWritten("2003-6-10T04:05:06Z");
    ExpectNothingWritten("2003-06-10T04:05:");
    ExpectNothingWritten("2003-06-10T04:05:06.Z");
    ExpectNothingWritten("2003-06-10T04:05:06+2");
    // The date alone fits the buffer and is read as the weekday token of the usual form.
    ExpectDate("2003-06-10 04:05:06", X, X, 4, X, X, X);
    ExpectNothingWritten("20030610T040506Z");
    ExpectNothingWritten("Wednesday,,, 10 Jun 2003 04:00:00");
    // The second token does not fit either: the day read before it is dropped too.
    ExpectNothingWritten("Tue, 10 Junexxxxxxxx 2003 04:00:00");
    // Eleven characters still fit.
    ExpectDate("Wednesday,, 10 Junexxxxxxx 2003", 2003, X, 10, X, X, X);
    ExpectNothingWritten(std::string(100000, 'x').c_str());
    ExpectNothingWritten((std::string("Tue, 1 ") + std::string(100000, 'J') + " 2003").c_str());
}

TEST(ParsePubDate, GivesTheSameValuesForTheSameText)
{
    for (const char* text : {"Tue, 10 Jun 2003 04:00:00 GMT", "2003-06-10T04:00Z", "garbage", "Jun 1"}) {
        const Date first = Parse(text);
        const Date second = Parse(text);
        EXPECT_EQ(first.year, second.year);
        EXPECT_EQ(first.month, second.month);
        EXPECT_EQ(first.day, second.day);
        EXPECT_EQ(first.hour, second.hour);
        EXPECT_EQ(first.minute, second.minute);
        EXPECT_EQ(first.second, second.second);
    }
}

TEST(CPubDate, GivesZeroForWhatTheTextDoesNotSupply)
{
    const CPubDate undated = CPubDate::FromText("no date here");
    EXPECT_EQ(undated.year, 0);
    EXPECT_EQ(undated.month, 0);
    EXPECT_EQ(undated.day, 0);
    EXPECT_EQ(undated.hour, 0);
    EXPECT_EQ(undated.minute, 0);
    EXPECT_EQ(undated.second, 0);
    const CPubDate noSeconds = CPubDate::FromText("Mon, 06 Sep 2010 16:45 +0000");
    EXPECT_EQ(noSeconds.year, 2010);
    EXPECT_EQ(noSeconds.minute, 45);
    EXPECT_EQ(noSeconds.second, 0);
}

TEST(CPubDate, TheFirstComponentThatDiffersDecides)
{
    const CPubDate base = CPubDate::FromText("Tue, 10 Jun 2003 04:30:30");
    EXPECT_FALSE(base.IsEarlierThan(base));
    EXPECT_TRUE(base.IsEarlierThan(CPubDate::FromText("Tue, 1 Jan 2004 00:00:00")));
    EXPECT_TRUE(base.IsEarlierThan(CPubDate::FromText("Tue, 1 Jul 2003 00:00:00")));
    EXPECT_TRUE(base.IsEarlierThan(CPubDate::FromText("Tue, 11 Jun 2003 00:00:00")));
    EXPECT_TRUE(base.IsEarlierThan(CPubDate::FromText("Tue, 10 Jun 2003 05:00:00")));
    EXPECT_TRUE(base.IsEarlierThan(CPubDate::FromText("Tue, 10 Jun 2003 04:31:00")));
    EXPECT_TRUE(base.IsEarlierThan(CPubDate::FromText("Tue, 10 Jun 2003 04:30:31")));
    EXPECT_FALSE(base.IsEarlierThan(CPubDate::FromText("Tue, 10 Jun 2003 04:30:29")));
    EXPECT_FALSE(base.IsEarlierThan(CPubDate::FromText("Tue, 30 May 2003 23:59:59")));
    EXPECT_TRUE(CPubDate::FromText("").IsEarlierThan(CPubDate::FromText("Tue, 1 Jan 1 00:00:01")));
    // Zones are not applied: times compare as written.
    EXPECT_TRUE(CPubDate::FromText("Tue, 10 Jun 2003 04:00:00 -0800")
                    .IsEarlierThan(CPubDate::FromText("Tue, 10 Jun 2003 05:00:00 +0200")));
}

} // namespace

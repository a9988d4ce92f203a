#include "fw/CDiagnosticLog.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

class DiagnosticLogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = std::filesystem::temp_directory_path() /
                 ("lullcast-log-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        file = folder / "Test.log";
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    static std::vector<std::string> Lines(const std::filesystem::path& path)
    {
        std::ifstream in(path, std::ios::binary);
        std::vector<std::string> lines;
        std::string line;
        while (std::getline(in, line)) {
            EXPECT_FALSE(line.empty());
            EXPECT_EQ(line.back(), '\r') << "a line without its end: " << line;
            line.pop_back();
            lines.push_back(line);
        }
        return lines;
    }
    std::filesystem::path Older() const { return std::filesystem::path(file.string() + ".1"); }

    std::filesystem::path folder;
    std::filesystem::path file;
};

const std::regex kStamped(R"(^\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3} (.*)$)");

std::string Entry(const std::string& line)
{
    std::smatch match;
    return std::regex_match(line, match, kStamped) ? match[1].str() : "<no time stamp: " + line + ">";
}

} // namespace

TEST_F(DiagnosticLogTest, TenThousandEntriesStayWithinTwoFilesOfTheLimitNewestKept)
{
    const std::uintmax_t limit = 256 * 1024;
    {
        CDiagnosticLog log(file, limit);
        for (int i = 0; i < 10000; ++i) {
            log.Write("event " + std::to_string(i) + " " + std::string(i % 97, 'x'));
            if (i % 1000 == 999)
                log.Flush(); // no faster than the disk takes them: none is left out
        }
        EXPECT_LE(std::filesystem::file_size(file), limit);
        EXPECT_LE(std::filesystem::file_size(Older()), limit);
    }
    EXPECT_FALSE(std::filesystem::exists(folder / "Test.log.2"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()), 2);

    // The entries that stayed are the newest, in order, the older file before the current one,
    // and the older file was full when it was left.
    std::vector<std::string> lines = Lines(Older());
    EXPECT_GT(std::filesystem::file_size(Older()), limit - 200);
    const std::vector<std::string> current = Lines(file);
    lines.insert(lines.end(), current.begin(), current.end());
    ASSERT_GT(lines.size(), 1000u);
    const int first = 10000 - static_cast<int>(lines.size());
    for (std::size_t k = 0; k < lines.size(); ++k) {
        const int i = first + static_cast<int>(k);
        ASSERT_EQ(Entry(lines[k]), "event " + std::to_string(i) + " " + std::string(i % 97, 'x')) << "line " << k;
    }
}

TEST_F(DiagnosticLogTest, EntriesOfManyThreadsStayWholeAndOneLineEach)
{
    {
        CDiagnosticLog log(file, 1 << 20);
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([&log, t] {
                for (int i = 0; i < 200; ++i)
                    log.Write("thread " + std::to_string(t) + " entry " + std::to_string(i) + "\r\ninjected");
            });
        for (std::thread& thread : threads)
            thread.join();
    } // the log writes what is queued before it ends
    const std::vector<std::string> lines = Lines(file);
    ASSERT_EQ(lines.size(), 800u);  // 800 entries are far fewer than the queue holds
    std::vector<int> next(4, 0);
    for (const std::string& line : lines) {
        int t = -1, i = -1;
        char rest[16] = "";
        ASSERT_EQ(std::sscanf(Entry(line).c_str(), "thread %d entry %d  %15s", &t, &i, rest), 3) << line;
        ASSERT_TRUE(t >= 0 && t < 4);
        EXPECT_EQ(i, next[t]++) << "one thread's entries out of order";
        EXPECT_STREQ(rest, "injected");
    }
}

TEST_F(DiagnosticLogTest, AnEntryLongerThanTheLimitIsCutAndALaterRunGoesOnInTheSameFile)
{
    {
        CDiagnosticLog log(file, 100);
        log.Write(std::string(500, 'y'));
    }
    EXPECT_EQ(std::filesystem::file_size(file), 100u);
    {
        CDiagnosticLog log(file, 100);
        log.Write("next run");
    }
    // The file was full: the next run's entry begins a new one.
    ASSERT_EQ(Lines(file).size(), 1u);
    EXPECT_EQ(Entry(Lines(file)[0]), "next run");
    EXPECT_EQ(Lines(Older()).size(), 1u);
}

TEST_F(DiagnosticLogTest, EntriesBeyondTheQueueAreCountedNotLost)
{
    const int written = static_cast<int>(CDiagnosticLog::kMaxQueued) * 3;
    {
        CDiagnosticLog log(file, 64 << 20);
        for (int i = 0; i < written; ++i)
            log.Write("burst " + std::to_string(i));
    }
    int entries = 0, leftOut = 0;
    for (const std::string& line : Lines(file)) {
        const std::string entry = Entry(line);
        int count = 0;
        if (std::sscanf(entry.c_str(), "%d entries left out", &count) == 1)
            leftOut += count;
        else
            ++entries;
    }
    EXPECT_EQ(entries + leftOut, written);
}

// A bounded log of one-line entries, written by a thread of its own so that a caller never waits
// on the disk.
//
// Each line starts with the UTC time to the millisecond. The log is two files: FILE, the current
// one, and FILE.1, the one before; when the next line would take FILE past its limit, FILE
// becomes FILE.1 (the older FILE.1 is dropped) and a new FILE begins. A line longer than the limit
// is cut to it. Lines that come faster than the disk takes them wait in a queue of bounded length;
// beyond it they are counted and the count is written once there is room again.
#pragma once
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>

class CDiagnosticLog {
public:
    CDiagnosticLog(std::filesystem::path file, std::uintmax_t maxFileBytes);
    ~CDiagnosticLog(); // writes what is queued, then ends the thread
    CDiagnosticLog(const CDiagnosticLog&) = delete;
    CDiagnosticLog& operator=(const CDiagnosticLog&) = delete;

    // Queues one entry; line breaks and other control characters in it become spaces.
    void Write(const std::string& text);
    // Returns once every entry queued before the call is on disk and the file is closed.
    void Flush();

    // The process's log, which Log() writes to from any thread; none until one is set. Set none
    // before the log ends.
    static void SetProcessLog(CDiagnosticLog* log);
    static void Log(const std::string& text);

    static const std::size_t kMaxQueued = 4096;

private:
    void Run();
    void Append(const std::string& line);

    const std::filesystem::path m_file;
    const std::uintmax_t m_maxFileBytes;
    std::uintmax_t m_fileBytes = 0;
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::deque<std::string> m_queue;
    std::size_t m_dropped = 0;
    std::uint64_t m_queuedCount = 0;
    std::uint64_t m_writtenCount = 0;
    bool m_idle = true; // nothing queued, the file closed
    std::ofstream m_out;
    bool m_stopping = false;
    std::thread m_thread;
};

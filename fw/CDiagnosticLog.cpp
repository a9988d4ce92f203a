#include "fw/CDiagnosticLog.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <system_error>

namespace {

// Held while the process's log is used or changed: once SetProcessLog(nullptr) returns, nobody
// writes to the log it had.
std::mutex g_processLogLock;
CDiagnosticLog* g_processLog = nullptr;

// YYYY-MM-DD HH:MM:SS.mmm of a time in milliseconds since 1970 (UTC; the proleptic Gregorian
// calendar, as civil dates are counted from days).
std::string UtcTimeText(long long milliseconds)
{
    long long days = milliseconds / 86400000;
    long long rest = milliseconds % 86400000;
    if (rest < 0) {
        rest += 86400000;
        --days;
    }
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const long long dayOfEra = days - era * 146097;
    const long long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const long long monthIndex = (5 * dayOfYear + 2) / 153;
    const long long day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    const long long month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    const long long year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    char text[40];
    std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld %02lld:%02lld:%02lld.%03lld", year, month, day,
                  rest / 3600000, rest / 60000 % 60, rest / 1000 % 60, rest % 1000);
    return text;
}

std::filesystem::path OlderFile(const std::filesystem::path& file)
{
    std::filesystem::path older = file;
    older += ".1";
    return older;
}

} // namespace

CDiagnosticLog::CDiagnosticLog(std::filesystem::path file, std::uintmax_t maxFileBytes)
    : m_file(std::move(file)), m_maxFileBytes(maxFileBytes)
{
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(m_file, error);
    m_fileBytes = error ? 0 : size;
    m_thread = std::thread([this] { Run(); });
}

CDiagnosticLog::~CDiagnosticLog()
{
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_stopping = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void CDiagnosticLog::Write(const std::string& text)
{
    const long long now = std::chrono::duration_cast<std::chrono::milliseconds>(
                              std::chrono::system_clock::now().time_since_epoch()).count();
    std::string line = UtcTimeText(now) + " " + text;
    for (char& c : line) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = ' ';
    }
    {
        std::lock_guard<std::mutex> hold(m_lock);
        if (m_queue.size() >= kMaxQueued) {
            ++m_dropped;
            return;
        }
        m_queue.push_back(std::move(line));
        ++m_queuedCount;
        m_idle = false;
    }
    m_changed.notify_all();
}

void CDiagnosticLog::Flush()
{
    std::unique_lock<std::mutex> hold(m_lock);
    const std::uint64_t target = m_queuedCount;
    m_changed.wait(hold, [&] { return m_writtenCount >= target && m_idle; });
}

void CDiagnosticLog::SetProcessLog(CDiagnosticLog* log)
{
    std::lock_guard<std::mutex> hold(g_processLogLock);
    g_processLog = log;
}

void CDiagnosticLog::Log(const std::string& text)
{
    std::lock_guard<std::mutex> hold(g_processLogLock);
    if (g_processLog)
        g_processLog->Write(text);
}

void CDiagnosticLog::Run()
{
    std::unique_lock<std::mutex> hold(m_lock);
    for (;;) {
        if (m_queue.empty()) {
            // The file is held open only while there is something to write.
            hold.unlock();
            m_out.close();
            hold.lock();
            m_idle = m_queue.empty();
            m_changed.notify_all();
        }
        m_changed.wait(hold, [&] { return m_stopping || !m_queue.empty(); });
        if (m_queue.empty())
            return; // stopping, and all is written
        std::string line = std::move(m_queue.front());
        m_queue.pop_front();
        const std::size_t dropped = m_dropped;
        m_dropped = 0;
        hold.unlock();
        if (dropped)
            Append(line.substr(0, 24) + std::to_string(dropped) + " entries left out: they came too fast");
        Append(line);
        hold.lock();
        ++m_writtenCount;
        m_changed.notify_all();
    }
}

// One line, into the current file or, when it would grow past its limit, into a new one.
void CDiagnosticLog::Append(const std::string& text)
{
    std::string line = text.substr(0, m_maxFileBytes > 2 ? static_cast<std::size_t>(m_maxFileBytes - 2) : 0);
    line += "\r\n";
    if (m_fileBytes + line.size() > m_maxFileBytes) {
        std::error_code error;
        m_out.close();
        std::filesystem::remove(OlderFile(m_file), error);
        std::filesystem::rename(m_file, OlderFile(m_file), error);
        if (error)
            std::filesystem::remove(m_file, error);
        m_fileBytes = 0;
    }
    if (!m_out.is_open()) {
        m_out.clear();
        m_out.open(m_file, std::ios::binary | std::ios::app);
    }
    if (!m_out)
        return;
    m_out.write(line.data(), static_cast<std::streamsize>(line.size()));
    if (m_out)
        m_fileBytes += line.size();
}

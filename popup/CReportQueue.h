// The view and click reports on their way to the service, in the order they were made, and the
// decisions about them. One report is out at a time, the first; the others wait behind it, so
// that they arrive in order. No answer, or a 502, 503 or 504, leaves the report where it is, to
// be sent again after a wait that doubles with every such failure in a row (kFirstWaitMs up to
// kLongestWaitMs, each drawn a little longer by a spread the caller gives, so that the desktops
// a service turned away together do not all come back at once), and never sooner than the
// answer's Retry-After asked (up to kLongestRetryAfterMs). Any other answer (a 2xx, a 4xx)
// ends the report, and the next one goes at once. At most kMostReports are kept: one more
// drops the oldest of those not out, and the drop is counted.
//
// Portable and used by one thread. Times are milliseconds of a steady clock the caller reads.
#pragma once
#include <cstddef>
#include <deque>
#include <string>

class CReportQueue {
public:
    static constexpr size_t kMostReports = 200;
    static constexpr unsigned long long kFirstWaitMs = 1000;
    static constexpr unsigned long long kLongestWaitMs = 5 * 60 * 1000;
    static constexpr unsigned long long kLongestRetryAfterMs = 60 * 60 * 1000;

    // A new report (the path and query to ask for), behind those already kept.
    void Add(const std::string& path);

    // True, with the first report, when none is out and its time has come; it is out from now
    // until Answered.
    bool TakeNext(unsigned long long nowMs, std::string& path);

    // What became of the report that is out: the HTTP status, 0 when no answer came; the
    // answer's Retry-After in seconds, -1 when it named none; spread, from 0 up to 1: how much
    // of the wait to add again on top of it.
    void Answered(unsigned long long nowMs, unsigned status, long long retryAfterSeconds, double spread);

    // True, with the time the first report may go, when one waits and none is out.
    bool NextTime(unsigned long long& atMs) const;

    size_t Size() const { return m_reports.size(); } // waiting and out
    bool IsSending() const { return m_out; }
    size_t Dropped() const { return m_dropped; }
    unsigned FailuresInARow() const { return m_failures; }

    // Forgets every report (the window goes); one out is then not waited for.
    void Clear();

private:
    std::deque<std::string> m_reports;
    bool m_out = false;                // the first report is out
    unsigned long long m_notBefore = 0; // when the first may go
    unsigned m_failures = 0;
    size_t m_dropped = 0;
};

// True when an answer ends a report: every status but 502, 503 and 504; no answer (0) does not.
bool EndsReport(unsigned status);

// How long to wait before the next try after `failures` failures in a row (at least 1), with
// spread (0 up to 1) of it added and a Retry-After of retryAfterSeconds (-1: none) respected.
unsigned long long ReportRetryWaitMs(unsigned failures, long long retryAfterSeconds, double spread);

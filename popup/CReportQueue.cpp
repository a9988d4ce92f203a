#include "popup/CReportQueue.h"

bool EndsReport(unsigned status)
{
    return status != 0 && status != 502 && status != 503 && status != 504;
}

unsigned long long ReportRetryWaitMs(unsigned failures, long long retryAfterSeconds, double spread)
{
    unsigned long long wait = CReportQueue::kFirstWaitMs;
    for (unsigned i = 1; i < failures && wait < CReportQueue::kLongestWaitMs; ++i)
        wait *= 2;
    if (wait > CReportQueue::kLongestWaitMs)
        wait = CReportQueue::kLongestWaitMs;
    if (spread > 0 && spread <= 1) // anything else (a NaN among them) adds nothing
        wait += static_cast<unsigned long long>(static_cast<double>(wait) * spread);
    if (retryAfterSeconds > 0) {
        const unsigned long long asked =
            retryAfterSeconds >= static_cast<long long>(CReportQueue::kLongestRetryAfterMs / 1000)
                ? CReportQueue::kLongestRetryAfterMs
                : static_cast<unsigned long long>(retryAfterSeconds) * 1000;
        if (asked > wait)
            wait = asked;
    }
    return wait;
}

void CReportQueue::Add(const std::string& path)
{
    if (m_reports.size() >= kMostReports) {
        m_reports.erase(m_reports.begin() + (m_out ? 1 : 0));
        ++m_dropped;
    }
    m_reports.push_back(path);
}

bool CReportQueue::TakeNext(unsigned long long nowMs, std::string& path)
{
    if (m_out || m_reports.empty() || nowMs < m_notBefore)
        return false;
    m_out = true;
    path = m_reports.front();
    return true;
}

void CReportQueue::Answered(unsigned long long nowMs, unsigned status, long long retryAfterSeconds, double spread)
{
    if (!m_out)
        return;
    m_out = false;
    if (EndsReport(status)) {
        m_reports.pop_front();
        m_failures = 0;
        m_notBefore = nowMs;
        return;
    }
    if (m_failures < 64)
        ++m_failures;
    m_notBefore = nowMs + ReportRetryWaitMs(m_failures, retryAfterSeconds, spread);
}

bool CReportQueue::NextTime(unsigned long long& atMs) const
{
    if (m_out || m_reports.empty())
        return false;
    atMs = m_notBefore;
    return true;
}

void CReportQueue::Clear()
{
    m_reports.clear();
    m_out = false;
    m_failures = 0;
    m_notBefore = 0;
}

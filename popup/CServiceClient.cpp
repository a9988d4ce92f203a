#include "popup/CServiceClient.h"

#include <cstdlib>

#include "feeds/HttpAnswer.h"
#include "fw/Win32Util.h"
#include "popup/DecisionLog.h"
#include "popup/PopupMessages.h"
#include "popup/PopupTimers.h"
#include "popup/ReportPath.h"
#include "popup/ServiceAddress.h"

namespace {

// Environment variable naming another service (a local one for tests and demos).
const char kServiceVariable[] = "LULLCAST_SERVICE_URL";

// How long a report may take before it is given up.
const DWORD kReportDeadlineMs = 5000;
// The spread of the wait before a report goes again: any value from 0 to 1 will do.
const unsigned kSpreadSteps = 1000;

CString ApplicationName()
{
    CString path = GetModulePath(nullptr);
    CString name = path.Mid(path.ReverseFind('\\') + 1);
    const int dot = name.ReverseFind('.');
    return dot > 0 ? name.Left(dot) : name;
}

} // namespace

CServiceClient::CServiceClient()
    : m_base(ChooseServiceAddress(std::getenv(kServiceVariable), LULLCAST_SERVICE_URL)), m_agent(ApplicationName())
{
}

CServiceClient::~CServiceClient() = default;

CString CServiceClient::Domain() const
{
    return ServiceDomain(m_base);
}

ServiceExchange CServiceClient::Exchange(const char* path, size_t bodyLimit, DWORD deadlineMs) const
{
    ServiceExchange exchange;
    exchange.url = std::string(m_base) + path;
    exchange.agent = std::string(m_agent);
    exchange.timeoutMs = deadlineMs;
    exchange.bodyLimit = bodyLimit;
    return exchange;
}

void CServiceClient::Attach(HWND window)
{
    m_window = window;
}

void CServiceClient::Detach()
{
    if (m_window) {
        ::KillTimer(m_window, kReportTimer);
        ::KillTimer(m_window, kReportDeadlineTimer);
    }
    m_window = nullptr;
    m_report.Cancel();
    m_reports.Clear();
    m_reportTimerAt = 0;
}

void CServiceClient::ReportView(const char* feedUrl)
{
    QueueReport(ViewReportPath(feedUrl));
}

void CServiceClient::ReportClick(const char* feedUrl, const char* link)
{
    QueueReport(ClickReportPath(feedUrl, link));
}

void CServiceClient::QueueReport(const std::string& path)
{
    if (!m_window || path.empty())
        return;
    m_reports.Add(path);
    SendNextReport();
}

// The first report goes when its time has come; until then the report timer waits for it.
void CServiceClient::SendNextReport()
{
    if (!m_window)
        return;
    const unsigned long long now = ::GetTickCount64();
    std::string path;
    while (m_reports.TakeNext(now, path)) {
        const ServiceExchange prepared = Exchange(path.c_str(), 0, kReportDeadlineMs);
        if (m_report.Start(m_window, WM_REPORT_SENT,
                           [prepared](ServiceExchange& answer) {
                               answer = prepared;
                               RunServiceExchange(answer);
                           })) {
            m_reportUrl = prepared.url;
            m_reportStartedAt = now;
            ::SetTimer(m_window, kReportDeadlineTimer, kReportDeadlineMs, nullptr);
            return;
        }
        LogServiceRequest(prepared.url, false, 0);
        m_reports.Answered(now, 0, -1, 0.0); // no thread: as if no answer came
    }
    unsigned long long at = 0;
    if (!m_reports.NextTime(at))
        return;
    // A timer already set for that time stands; one for another time is set anew.
    if (m_reportTimerAt == at)
        return;
    m_reportTimerAt = at;
    const unsigned long long wait = at > now ? at - now : 0;
    ::SetTimer(m_window, kReportTimer, static_cast<UINT>(wait < USER_TIMER_MINIMUM ? USER_TIMER_MINIMUM : wait),
               nullptr);
}

void CServiceClient::OnReportSent(WPARAM ticket)
{
    const CAsyncRequest<ServiceExchange>::Answer answer = m_report.Take(ticket);
    if (!answer)
        return;
    ::KillTimer(m_window, kReportDeadlineTimer);
    const ServiceExchange& sent = *answer.result;
    LogServiceRequest(sent.url, sent.ok, sent.tookMs);
    ReportAnswered(sent.ok ? sent.status : 0, sent.ok ? sent.headers : std::string());
}

// The report is given up: as if no answer came. Its thread ends in its own time, and holds the
// request until then.
void CServiceClient::OnReportDeadline()
{
    ::KillTimer(m_window, kReportDeadlineTimer);
    if (!m_report.IsWaiting())
        return;
    m_report.Cancel();
    LogServiceRequest(m_reportUrl, false, static_cast<DWORD>(::GetTickCount64() - m_reportStartedAt));
    ReportAnswered(0, std::string());
}

void CServiceClient::ReportAnswered(DWORD status, const std::string& headers)
{
    const CHttpAnswer said = ReadHttpAnswer(status, headers, SystemEpochSeconds());
    const double spread = static_cast<double>(::GetTickCount64() % kSpreadSteps) / kSpreadSteps;
    m_reports.Answered(::GetTickCount64(), status, said.retryAfterSeconds, spread);
    SendNextReport();
}

void CServiceClient::OnReportTimer()
{
    ::KillTimer(m_window, kReportTimer);
    m_reportTimerAt = 0;
    SendNextReport();
}

bool CServiceClient::OnMessage(UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_REPORT_SENT:
        OnReportSent(wParam);
        return true;
    case WM_TIMER:
        if (wParam == kReportTimer)
            OnReportTimer();
        else if (wParam == kReportDeadlineTimer)
            OnReportDeadline();
        else
            return false;
        return true;
    default:
        return false;
    }
}

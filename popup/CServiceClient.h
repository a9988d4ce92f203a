// The popup's link to the service web server: its address, the name the program gives itself
// there, and the view and click reports. The concerns that fetch from the service (the preset
// list, the sponsor picture) make their own exchanges with the address and name given here.
//
// Reports, views and clicks alike, wait in one queue (CReportQueue) and go one after another in
// the order they were made, each a plain HTTP GET on a thread of its own; its answer comes back
// to the popup's thread as a posted message, which OnMessage takes. A report that got no answer
// by its deadline, or a 502, 503 or 504, is sent again later. A report given up at its deadline
// still holds its request until its thread ends: meanwhile the next report fails at once, so a
// server that never answers costs one thread.
#pragma once
#include <windows.h>

#include <string>

#include "fw/CAsyncRequest.h"
#include "fw/CString.h"
#include "popup/CReportQueue.h"
#include "popup/ServiceExchange.h"

class CServiceClient {
public:
    CServiceClient();
    ~CServiceClient(); // never waits for a report
    CServiceClient(const CServiceClient&) = delete;
    CServiceClient& operator=(const CServiceClient&) = delete;

    // The base address (scheme and host, with an optional port, no path) and its domain.
    const CString& BaseAddress() const { return m_base; }
    CString Domain() const;

    // An exchange with the service: a GET of `path` under the base address in the program's name,
    // reading up to bodyLimit bytes of the body.
    ServiceExchange Exchange(const char* path, size_t bodyLimit, DWORD deadlineMs) const;

    // Reports go only once the popup's window exists; until then, and after Detach, none do.
    void Attach(HWND window);
    // The window goes: answers still on their way are not taken.
    void Detach();

    // The reports go into the query unescaped but for what would split the request (see
    // popup/ReportPath.h); a feed or a link that is no web address is not reported.
    void ReportView(const char* feedUrl);
    void ReportClick(const char* feedUrl, const char* link);
    // Reports dropped so far because too many waited.
    size_t DroppedReports() const { return m_reports.Dropped(); }

    // WM_REPORT_SENT (popup/PopupMessages.h) and the reports' timers; false for any other message.
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam);

private:
    void QueueReport(const std::string& path);
    void SendNextReport();
    void OnReportSent(WPARAM ticket);
    void OnReportDeadline();
    void ReportAnswered(DWORD status, const std::string& headers);
    void OnReportTimer();

    CString m_base;
    CString m_agent;
    HWND m_window = nullptr;
    CReportQueue m_reports;
    CAsyncRequest<ServiceExchange> m_report;
    std::string m_reportUrl;                  // the report under way
    unsigned long long m_reportStartedAt = 0; // ... and when it started
    unsigned long long m_reportTimerAt = 0;   // when the report timer is due; 0 while it is not set
};

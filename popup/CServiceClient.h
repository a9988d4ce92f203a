// The popup's requests to the service web server: the preset feed list, the sponsor picture
// and the view and click reports. Each request is a plain HTTP GET in a session of its own, made
// on a worker thread and given up at a deadline there; its answer comes back to the popup's
// thread as a posted message, which OnMessage takes. The popup's thread never waits for one.
//
// Of each kind one request is in flight at a time. A list or a picture asked for while one is in
// flight is asked again once it has ended, and only that later answer counts. Reports, views and
// clicks alike, wait in one queue (CReportQueue) and go one after another in the order they were
// made; a report that got no answer or a 502, 503 or 504 is sent again later. A request given
// up at its deadline still holds its kind until its thread ends: meanwhile the next request of
// that kind fails at once, so a server that never answers costs one thread per kind. Failures
// are not reported: the answer says only that no list or picture came.
#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "fw/CAsyncCall.h"
#include "fw/CCallBook.h"
#include "fw/CImage.h"
#include "fw/CString.h"
#include "popup/CReportQueue.h"

class CWorkerCall;

class CServiceClient {
public:
    // The body of the sponsor picture is read up to this many bytes.
    static constexpr size_t kSponsorBytes = 65535;

    // What the popup is told, on its own thread, when an answer has come.
    class IAnswers {
    public:
        // The preset list, or as much of it as came in whole lines before a failure.
        virtual void OnPresetList(bool ok, const std::string& body) = 0;
        // A new sponsor picture, decoded (empty when the body was not a picture); not called
        // when the request failed, so that the previous picture stays.
        virtual void OnSponsorPicture(CImage& picture) = 0;

    protected:
        ~IAnswers() = default;
    };

    CServiceClient();
    ~CServiceClient(); // never waits for a request
    CServiceClient(const CServiceClient&) = delete;
    CServiceClient& operator=(const CServiceClient&) = delete;

    // The base address (scheme and host, with an optional port, no path) and its domain.
    const CString& BaseAddress() const { return m_base; }
    CString Domain() const;

    // Requests start only once the popup's window exists; until then, and after Detach, none do.
    void Attach(HWND window, IAnswers* answers);
    // The window goes: answers still on their way are not applied.
    void Detach();

    void FetchPresetList();
    bool IsFetchingPresetList() const { return m_preset.book.Running(); }
    void FetchSponsorPicture();
    bool IsFetchingSponsorPicture() const { return m_sponsor.book.Running(); }
    // True while a worker may still be decoding a picture (also one no longer wanted).
    bool IsDecoding() const { return m_sponsor.request.IsBusy(); }
    // The reports go into the query unescaped but for what would split the request (see
    // popup/ReportPath.h); a feed or a link that is no web address is not reported.
    void ReportView(const char* feedUrl);
    void ReportClick(const char* feedUrl, const char* link);
    // Reports dropped so far because too many waited.
    size_t DroppedReports() const { return m_reports.Dropped(); }

    // The answer messages (popup/PopupMessages.h) and the report queue's timer; false for any
    // other message.
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam);

private:
    struct Exchange;
    struct PictureAnswer;
    // One kind of request: its worker, the book of what was asked, and the request that runs its
    // exchanges (shared with the worker, which may outlive this object).
    template <class Answer>
    struct Kind {
        CAsyncRequest<Answer> request;
        CCallBook book;
        std::shared_ptr<CWorkerCall> exchanges;
    };

    void StartPresetList();
    void StartSponsorPicture();
    void OnPresetListAnswer(WPARAM ticket);
    void OnSponsorAnswer(WPARAM ticket);
    void QueueReport(const std::string& path);
    void SendNextReport();
    void OnReportSent(WPARAM ticket);
    void OnReportTimer();
    std::shared_ptr<Exchange> NewExchange(const std::shared_ptr<CWorkerCall>& exchanges, const CString& path,
                                          size_t bodyLimit, DWORD deadlineMs) const;

    CString m_base;
    CString m_agent;
    HWND m_window = nullptr;
    IAnswers* m_answers = nullptr;
    Kind<Exchange> m_preset;
    Kind<PictureAnswer> m_sponsor;
    CReportQueue m_reports;
    CAsyncRequest<Exchange> m_reportRequest;
    std::shared_ptr<CWorkerCall> m_reportExchanges;
    unsigned long long m_reportTimerAt = 0; // when the report timer is due; 0 while it is not set
};

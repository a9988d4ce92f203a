#include "popup/CServiceClient.h"

#include <cstdlib>
#include <cstring>

#include "feeds/HttpAnswer.h"
#include "fw/CComPtr.h"
#include "fw/CInternetSession.h"
#include "fw/CScopedHandle.h"
#include "fw/CWorkerCall.h"
#include "fw/Win32Util.h"
#include "popup/DecisionLog.h"
#include "popup/PopupMessages.h"
#include "popup/PopupTimers.h"
#include "popup/PresetFeedList.h"
#include "popup/ReportPath.h"
#include "popup/ServiceAddress.h"

namespace {

// Environment variable naming another service (a local one for tests and demos).
const char kServiceVariable[] = "LULLCAST_SERVICE_URL";

// How long each kind of request may take before it is given up.
const DWORD kPresetDeadlineMs = 10000;
const DWORD kSponsorDeadlineMs = 3000;
const DWORD kReportDeadlineMs = 5000;
const size_t kPresetBytes = 1024 * 1024;
// A sponsor picture that claims more pixels than this either way is not decoded.
const int kLargestSponsorSide = 2000;

// One GET, run on a thread of its own; everything it touches is its own.
struct Transfer {
    std::string url;
    std::string agent;
    DWORD timeoutMs = 0;
    size_t bodyLimit = 0;
    bool readBody = false;
    bool ok = false;
    DWORD status = 0;    // the HTTP status, once the answer's headers have come
    std::string headers; // and its header lines
    std::string body;    // what arrived, also when the transfer failed half-way
};

void RunTransfer(Transfer& transfer)
{
    try {
        CInternetSession session(transfer.agent.c_str());
        session.SetTimeouts(transfer.timeoutMs);
        std::unique_ptr<CInternetFile> file = session.OpenURL(transfer.url.c_str());
        transfer.status = file->StatusCode();
        transfer.headers = file->RawHeaders();
        if (transfer.readBody) {
            // A read may return less than asked: read until the body ends or the limit is reached.
            char buffer[16384];
            while (transfer.body.size() < transfer.bodyLimit) {
                const size_t want = std::min(sizeof buffer, transfer.bodyLimit - transfer.body.size());
                const UINT read = file->Read(buffer, static_cast<UINT>(want));
                if (read == 0)
                    break;
                transfer.body.append(buffer, read);
            }
        }
        transfer.ok = true;
    } catch (const CInternetException&) {
    }
}

CString ApplicationName()
{
    CString path = GetModulePath(nullptr);
    CString name = path.Mid(path.ReverseFind('\\') + 1);
    const int dot = name.ReverseFind('.');
    return dot > 0 ? name.Left(dot) : name;
}

// The picture as the popup shows it: decoded from the first kSponsorBytes bytes, as from a
// zero-filled block of that size. A body that does not decode gives an empty picture.
void DecodePicture(const std::string& body, CImage& picture)
{
    CGlobalMemory block(::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, CServiceClient::kSponsorBytes));
    if (!block)
        return;
    if (void* bytes = ::GlobalLock(block.Get())) {
        std::memcpy(bytes, body.data(), std::min(body.size(), CServiceClient::kSponsorBytes));
        ::GlobalUnlock(block.Get());
    }
    CComPtr<IStream> stream;
    if (SUCCEEDED(::CreateStreamOnHGlobal(block.Get(), FALSE, stream.Receive())) && stream)
        picture.Load(stream.Get(), kLargestSponsorSide);
}

} // namespace

struct CServiceClient::Exchange {
    std::shared_ptr<Transfer> transfer;
    std::shared_ptr<CWorkerCall> exchanges;
    bool ok = false;
    DWORD status = 0; // 0 when no answer came in time
    std::string headers;
    std::string body;

    // On the request's worker: the transfer on a thread of its own, waited for until its deadline.
    // A transfer given up keeps running in its own time with its own data.
    void Run()
    {
        const std::shared_ptr<Transfer> own = transfer;
        const DWORD started = ::GetTickCount();
        const bool ended = exchanges->Run([own] { RunTransfer(*own); }, own->timeoutMs);
        LogServiceRequest(own->url, ended && own->ok, ::GetTickCount() - started);
        if (!ended)
            return;
        ok = own->ok;
        if (ok) {
            status = own->status;
            headers.swap(own->headers);
        }
        body.swap(own->body);
    }
};

struct CServiceClient::PictureAnswer {
    bool ok = false;
    CImage picture;
};

CServiceClient::CServiceClient()
    : m_base(ChooseServiceAddress(std::getenv(kServiceVariable), LULLCAST_SERVICE_URL)), m_agent(ApplicationName())
{
    m_preset.exchanges = std::make_shared<CWorkerCall>();
    m_sponsor.exchanges = std::make_shared<CWorkerCall>();
    m_reportExchanges = std::make_shared<CWorkerCall>();
}

CServiceClient::~CServiceClient() = default;

CString CServiceClient::Domain() const
{
    return ServiceDomain(m_base);
}

void CServiceClient::Attach(HWND window, IAnswers* answers)
{
    m_window = window;
    m_answers = answers;
    CImage::StartDecoder(); // here, on the popup's thread, before any worker decodes
}

void CServiceClient::Detach()
{
    if (m_window && m_reportTimerAt)
        ::KillTimer(m_window, kReportTimer);
    m_window = nullptr;
    m_answers = nullptr;
    m_preset.request.Cancel();
    m_sponsor.request.Cancel();
    m_reportRequest.Cancel();
    m_reports.Clear();
    m_reportTimerAt = 0;
}

std::shared_ptr<CServiceClient::Exchange> CServiceClient::NewExchange(const std::shared_ptr<CWorkerCall>& exchanges,
                                                                      const CString& path, size_t bodyLimit,
                                                                      DWORD deadlineMs) const
{
    auto transfer = std::make_shared<Transfer>();
    transfer->url = std::string(m_base) + std::string(path);
    transfer->agent = std::string(m_agent);
    transfer->timeoutMs = deadlineMs;
    transfer->bodyLimit = bodyLimit;
    transfer->readBody = bodyLimit > 0;
    auto exchange = std::make_shared<Exchange>();
    exchange->transfer = transfer;
    exchange->exchanges = exchanges;
    return exchange;
}

void CServiceClient::FetchPresetList()
{
    if (m_window && m_preset.book.Ask())
        StartPresetList();
}

void CServiceClient::StartPresetList()
{
    const std::shared_ptr<Exchange> prepared = NewExchange(m_preset.exchanges, "/preset_feeds.xml", kPresetBytes,
                                                           kPresetDeadlineMs);
    m_preset.book.Started();
    const unsigned ticket = m_preset.request.Start(m_window, WM_PRESET_LIST_ANSWER, [prepared](Exchange& answer) {
        prepared->Run();
        answer.ok = prepared->ok;
        answer.body.swap(prepared->body);
        // A list cut short by a failure keeps only its whole lines.
        if (!answer.ok)
            answer.body.resize(WholeLinesLength(answer.body.data(), answer.body.size()));
    });
    if (ticket)
        return;
    m_preset.book.Ended();
    if (m_answers)
        m_answers->OnPresetList(false, std::string());
}

void CServiceClient::OnPresetListAnswer(WPARAM ticket)
{
    const std::shared_ptr<Exchange> answer = m_preset.request.Take(ticket);
    if (!answer)
        return;
    const CCallBook::Outcome outcome = m_preset.book.Ended();
    if (outcome.startNext)
        StartPresetList();
    else if (outcome.apply && m_answers)
        m_answers->OnPresetList(answer->ok, answer->body);
}

void CServiceClient::FetchSponsorPicture()
{
    if (m_window && m_sponsor.book.Ask())
        StartSponsorPicture();
}

void CServiceClient::StartSponsorPicture()
{
    const std::shared_ptr<Exchange> prepared = NewExchange(m_sponsor.exchanges, "/60x39.jpg", kSponsorBytes, kSponsorDeadlineMs);
    m_sponsor.book.Started();
    const unsigned ticket = m_sponsor.request.Start(m_window, WM_SPONSOR_ANSWER, [prepared](PictureAnswer& answer) {
        prepared->Run();
        answer.ok = prepared->ok;
        if (answer.ok)
            DecodePicture(prepared->body, answer.picture);
    });
    if (!ticket)
        m_sponsor.book.Ended(); // a failed request keeps the previous picture
}

void CServiceClient::OnSponsorAnswer(WPARAM ticket)
{
    const std::shared_ptr<PictureAnswer> answer = m_sponsor.request.Take(ticket);
    if (!answer)
        return;
    const CCallBook::Outcome outcome = m_sponsor.book.Ended();
    if (outcome.startNext)
        StartSponsorPicture();
    else if (outcome.apply && answer->ok && m_answers)
        m_answers->OnSponsorPicture(answer->picture);
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
        const std::shared_ptr<Exchange> prepared = NewExchange(m_reportExchanges, path.c_str(), 0, kReportDeadlineMs);
        if (m_reportRequest.Start(m_window, WM_REPORT_SENT, [prepared](Exchange& answer) {
                prepared->Run();
                answer.status = prepared->status;
                answer.headers.swap(prepared->headers);
            }))
            return;
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
    const std::shared_ptr<Exchange> answer = m_reportRequest.Take(ticket);
    if (!answer)
        return;
    const CHttpAnswer said = ReadHttpAnswer(answer->status, answer->headers, SystemEpochSeconds());
    // The spread of the wait before a try again: any value from 0 to 1 will do.
    const double spread = static_cast<double>(::GetTickCount64() % 1000) / 1000.0;
    m_reports.Answered(::GetTickCount64(), answer->status, said.retryAfterSeconds, spread);
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
    case WM_PRESET_LIST_ANSWER:
        OnPresetListAnswer(wParam);
        return true;
    case WM_SPONSOR_ANSWER:
        OnSponsorAnswer(wParam);
        return true;
    case WM_REPORT_SENT:
        OnReportSent(wParam);
        return true;
    case WM_TIMER:
        if (wParam != kReportTimer)
            return false;
        OnReportTimer();
        return true;
    default:
        return false;
    }
}

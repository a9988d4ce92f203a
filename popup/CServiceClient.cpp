#include "popup/CServiceClient.h"

#include <cstdlib>
#include <cstring>

#include "app/PopupMessages.h"
#include "fw/CComPtr.h"
#include "fw/CInternetSession.h"
#include "fw/CScopedHandle.h"
#include "fw/CWorkerCall.h"
#include "fw/Win32Util.h"
#include "popup/DecisionLog.h"
#include "popup/PresetFeedList.h"
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
    std::string body; // what arrived, also when the transfer failed half-way
};

void RunTransfer(Transfer& transfer)
{
    try {
        CInternetSession session(transfer.agent.c_str());
        session.SetTimeouts(transfer.timeoutMs);
        std::unique_ptr<CInternetFile> file = session.OpenURL(transfer.url.c_str());
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
    m_views.kind.exchanges = std::make_shared<CWorkerCall>();
    m_views.message = WM_VIEW_REPORT_SENT;
    m_clicks.kind.exchanges = std::make_shared<CWorkerCall>();
    m_clicks.message = WM_CLICK_REPORT_SENT;
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
    m_window = nullptr;
    m_answers = nullptr;
    m_preset.request.Cancel();
    m_sponsor.request.Cancel();
    m_views.kind.request.Cancel();
    m_clicks.kind.request.Cancel();
    m_views.waiting.clear();
    m_clicks.waiting.clear();
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
    QueueReport(m_views, CString("/clicks.php?action=view&feed=") + feedUrl);
}

void CServiceClient::ReportClick(const char* feedUrl, const char* link)
{
    QueueReport(m_clicks, CString("/clicks.php?action=browse&feed=") + feedUrl + "&url=" + link);
}

void CServiceClient::QueueReport(ReportKind& reports, const CString& path)
{
    if (!m_window || reports.waiting.size() >= kMostWaitingReports)
        return;
    reports.waiting.push_back(path);
    SendNextReport(reports);
}

void CServiceClient::SendNextReport(ReportKind& reports)
{
    while (!reports.kind.book.Running() && !reports.waiting.empty()) {
        const std::shared_ptr<Exchange> prepared = NewExchange(reports.kind.exchanges, reports.waiting.front(), 0,
                                                               kReportDeadlineMs);
        reports.waiting.pop_front();
        reports.kind.book.Started();
        if (reports.kind.request.Start(m_window, reports.message, [prepared](Exchange&) { prepared->Run(); }))
            return;
        reports.kind.book.Ended(); // this report is lost; the next one may still go
    }
}

void CServiceClient::OnReportSent(ReportKind& reports, WPARAM ticket)
{
    if (!reports.kind.request.Take(ticket))
        return;
    reports.kind.book.Ended();
    SendNextReport(reports);
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
    case WM_VIEW_REPORT_SENT:
        OnReportSent(m_views, wParam);
        return true;
    case WM_CLICK_REPORT_SENT:
        OnReportSent(m_clicks, wParam);
        return true;
    default:
        return false;
    }
}

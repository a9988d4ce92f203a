#include "popup/CServiceClient.h"

#include <cstdlib>
#include <memory>

#include "fw/CInternetSession.h"
#include "fw/Win32Util.h"
#include "popup/ServiceAddress.h"

namespace {

// Environment variable naming another service (a local one for tests and demos).
const char kServiceVariable[] = "LULLCAST_SERVICE_URL";

// How long each kind of request may hold the popup. The sponsor picture stands between a
// watch event and the popup's appearance.
const DWORD kPresetDeadlineMs = 10000;
const DWORD kSponsorDeadlineMs = 3000;
const DWORD kReportDeadlineMs = 5000;
const size_t kPresetBytes = 1024 * 1024;

struct Exchange {
    std::string url;
    std::string agent;
    DWORD timeoutMs = 0;
    size_t bodyLimit = 0;
    bool readBody = false;
    bool ok = false;
    std::string body;
};

void RunExchange(Exchange& exchange)
{
    try {
        CInternetSession session(exchange.agent.c_str());
        session.SetTimeouts(exchange.timeoutMs);
        std::unique_ptr<CInternetFile> file = session.OpenURL(exchange.url.c_str());
        if (exchange.readBody) {
            // A read may return less than asked: read until the body ends or the limit is reached.
            exchange.body.resize(exchange.bodyLimit);
            size_t got = 0;
            while (got < exchange.bodyLimit) {
                const UINT read = file->Read(&exchange.body[got], static_cast<UINT>(exchange.bodyLimit - got));
                if (read == 0)
                    break;
                got += read;
            }
            exchange.body.resize(got);
        }
        exchange.ok = true;
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

} // namespace

CServiceClient::CServiceClient()
    : m_base(ChooseServiceAddress(std::getenv(kServiceVariable), LULLCAST_SERVICE_URL)), m_agent(ApplicationName())
{
}

CString CServiceClient::Domain() const
{
    return ServiceDomain(m_base);
}

bool CServiceClient::FetchPresetList(std::string& body)
{
    return Get(m_presetCall, "/preset_feeds.xml", kPresetBytes, &body, kPresetDeadlineMs);
}

bool CServiceClient::FetchSponsorPicture(std::string& body)
{
    return Get(m_sponsorCall, "/60x39.jpg", kSponsorBytes, &body, kSponsorDeadlineMs);
}

void CServiceClient::ReportView(const char* feedUrl)
{
    Get(m_viewCall, CString("/clicks.php?action=view&feed=") + feedUrl, 0, nullptr, kReportDeadlineMs);
}

void CServiceClient::ReportClick(const char* feedUrl, const char* link)
{
    Get(m_clickCall, CString("/clicks.php?action=browse&feed=") + feedUrl + "&url=" + link, 0, nullptr,
        kReportDeadlineMs);
}

bool CServiceClient::Get(CWorkerCall& call, const CString& path, size_t bodyLimit, std::string* body,
                         DWORD deadlineMs)
{
    // While a request waits, messages sent by other threads are handled; one of them must not
    // start a request of its own in the middle of another.
    if (m_waiting)
        return false;
    auto exchange = std::make_shared<Exchange>();
    exchange->url = std::string(m_base) + std::string(path);
    exchange->agent = std::string(m_agent);
    exchange->timeoutMs = deadlineMs;
    exchange->bodyLimit = bodyLimit;
    exchange->readBody = body != nullptr;
    m_waiting = true;
    const bool finished = call.Run([exchange] { RunExchange(*exchange); }, deadlineMs);
    m_waiting = false;
    if (!finished)
        return false;
    if (body)
        body->swap(exchange->body);
    return exchange->ok;
}

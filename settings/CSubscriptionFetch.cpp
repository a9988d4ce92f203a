#include "settings/CSubscriptionFetch.h"

#include <memory>

#include "feeds/FeedDiscovery.h"
#include "fw/CInternetSession.h"
#include "fw/Win32Util.h"
#include "settings/SubscriptionList.h"

namespace {

const char kAgent[] = "Lullcast";

// The body at a web address, when it comes whole and within the size of a list.
bool Download(const std::string& url, std::string& body)
{
    try {
        CInternetSession session(kAgent);
        session.SetTimeouts(CSubscriptionFetch::kDeadlineMs);
        std::unique_ptr<CInternetFile> file = session.OpenURL(
            url.c_str(), 1, INTERNET_FLAG_TRANSFER_BINARY | INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE);
        char piece[16384];
        for (UINT read; (read = file->Read(piece, sizeof piece)) > 0;) {
            if (body.size() + read > kLargestSubscriptionList)
                return false;
            body.append(piece, read);
        }
        return true;
    } catch (const CInternetException&) {
        return false;
    }
}

} // namespace

bool CSubscriptionFetch::Start(HWND dialog, const std::vector<std::string>& sources)
{
    if (m_request.IsWaiting() || m_request.IsBusy())
        return false;
    const unsigned ticket = m_request.Start(dialog, kFetchedMessage, [sources](Documents& documents) {
        documents.sources = sources;
        Read(documents);
    });
    if (!ticket)
        return false;
    ::SetTimer(dialog, kDeadlineTimer, kDeadlineMs, nullptr);
    return true;
}

// On the fetch's own thread.
void CSubscriptionFetch::Read(Documents& documents)
{
    for (const std::string& source : documents.sources) {
        std::string body;
        const bool read = IsHttpUrl(source) ? Download(source, body)
                                            : ReadWholeFile(source.c_str(), body, kLargestSubscriptionList);
        documents.bodies.push_back(read ? body : std::string());
    }
}

bool CSubscriptionFetch::Finish(HWND dialog, WPARAM ticket, std::vector<std::string>& feeds)
{
    const std::shared_ptr<Documents> documents = m_request.Take(ticket);
    if (!documents)
        return false;
    ::KillTimer(dialog, kDeadlineTimer);
    for (size_t i = 0; i < documents->sources.size() && i < documents->bodies.size(); ++i) {
        const std::vector<std::string> found = FeedsOfDroppedDocument(documents->bodies[i], documents->sources[i]);
        feeds.insert(feeds.end(), found.begin(), found.end());
    }
    return true;
}

void CSubscriptionFetch::Cancel(HWND dialog)
{
    ::KillTimer(dialog, kDeadlineTimer);
    m_request.Cancel();
}

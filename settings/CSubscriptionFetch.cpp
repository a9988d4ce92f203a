#include "settings/CSubscriptionFetch.h"

#include <memory>

#include "feeds/FeedDiscovery.h"
#include "fw/CInternetSession.h"
#include "fw/Win32Util.h"
#include "settings/SubscriptionList.h"

namespace {

const char kAgent[] = "Lullcast";
const size_t kReadPieceBytes = 16384;

// The body at a web address, when it comes whole, within the size of a list and before the
// deadline (a tick count). The system's time-outs bound each wait of a download, not the whole
// of it: a server that sends a byte now and then would keep it going, so the clock is read
// after every part that comes. (Where the system does not honour its time-outs at all, as under
// Wine, a server that sends nothing more still holds the download until it closes.)
bool Download(const std::string& url, std::string& body, ULONGLONG deadline)
{
    const ULONGLONG now = ::GetTickCount64();
    if (now >= deadline)
        return false;
    try {
        CInternetSession session(kAgent);
        session.SetTimeouts(static_cast<DWORD>(deadline - now));
        std::unique_ptr<CInternetFile> file = session.OpenURL(
            url.c_str(), 1, INTERNET_FLAG_TRANSFER_BINARY | INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE);
        char piece[kReadPieceBytes];
        for (UINT read; (read = file->ReadAvailable(piece, sizeof piece)) > 0;) {
            if (::GetTickCount64() >= deadline || body.size() + read > kLargestSubscriptionList)
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
    const ULONGLONG deadline = ::GetTickCount64() + kDeadlineMs;
    const unsigned ticket = m_request.Start(dialog, kFetchedMessage, [sources, deadline](Documents& documents) {
        documents.sources = sources;
        Read(documents, deadline);
    });
    if (!ticket)
        return false;
    ::SetTimer(dialog, kDeadlineTimer, kDeadlineMs, nullptr);
    return true;
}

// On the fetch's own thread, which ends soon after the deadline even when the dialog's timer has
// given up on it already: until it has, no other fetch can start.
void CSubscriptionFetch::Read(Documents& documents, ULONGLONG deadline)
{
    for (const std::string& source : documents.sources) {
        std::string body;
        const bool read = IsHttpUrl(source) ? Download(source, body, deadline)
                                            : ::GetTickCount64() < deadline &&
                                                  ReadWholeFile(source.c_str(), body, kLargestSubscriptionList);
        documents.bodies.push_back(read ? body : std::string());
    }
}

bool CSubscriptionFetch::Finish(HWND dialog, WPARAM ticket, std::vector<std::string>& feeds)
{
    const CAsyncRequest<Documents>::Answer answer = m_request.Take(ticket);
    if (!answer)
        return false;
    const std::shared_ptr<Documents>& documents = answer.result;
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

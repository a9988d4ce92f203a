#include "popup/CSponsorPicture.h"

#include <algorithm>
#include <cstring>

#include "fw/CComPtr.h"
#include "fw/CGdiPlusScope.h"
#include "fw/CGlobalLock.h"
#include "fw/CScopedHandle.h"
#include "popup/CServiceClient.h"
#include "popup/DecisionLog.h"
#include "popup/PopupMessages.h"
#include "popup/PopupTimers.h"
#include "res/Resource.h"

namespace {

const char kPicturePath[] = "/60x39.jpg";
const DWORD kDeadlineMs = 3000;
// A picture that claims more pixels than this either way is not decoded.
const int kLargestSide = 2000;

// The picture as the popup shows it: decoded from the first kSponsorBytes bytes, as from a
// zero-filled block of that size. A body that does not decode gives an empty picture.
void Decode(const std::string& body, CImage& picture)
{
    CGlobalMemory block(::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, CSponsorPicture::kSponsorBytes));
    if (!block)
        return;
    {
        const CGlobalLock lock(block.Get());
        if (lock.Data())
            std::memcpy(lock.Data(), body.data(), std::min(body.size(), CSponsorPicture::kSponsorBytes));
    }
    CComPtr<IStream> stream;
    if (SUCCEEDED(::CreateStreamOnHGlobal(block.Get(), FALSE, stream.Receive())) && stream)
        picture.Load(stream.Get(), kLargestSide);
}

} // namespace

struct CSponsorPicture::Answer {
    ServiceExchange exchange;
    CImage picture;
};

CSponsorPicture::~CSponsorPicture()
{
    m_image.Destroy();
}

void CSponsorPicture::Attach(HWND popup, HWND control, const CServiceClient& service)
{
    m_popup = popup;
    m_control = control;
    m_exchange = service.Exchange(kPicturePath, kSponsorBytes, kDeadlineMs);
}

void CSponsorPicture::Stop()
{
    if (m_popup)
        ::KillTimer(m_popup, kSponsorDeadlineTimer);
    m_popup = nullptr;
    m_request.Cancel();
}

void CSponsorPicture::Fetch()
{
    if (m_popup && m_request.Ask())
        Start();
}

void CSponsorPicture::Start()
{
    const ServiceExchange prepared = m_exchange;
    const CGdiPlusScope::Use decoder = CGdiPlusScope::Hold();
    const unsigned ticket = m_request.Start(m_popup, WM_SPONSOR_ANSWER, [prepared, decoder](Answer& answer) {
        answer.exchange = prepared;
        RunServiceExchange(answer.exchange);
        if (answer.exchange.ok)
            Decode(answer.exchange.body, answer.picture);
    });
    if (!ticket) {
        LogServiceRequest(prepared.url, false, 0); // a failed fetch keeps the picture there is
        return;
    }
    m_startedAt = ::GetTickCount64();
    ::SetTimer(m_popup, kSponsorDeadlineTimer, kDeadlineMs, nullptr);
}

void CSponsorPicture::OnAnswer(WPARAM ticket)
{
    const CAsyncRequest<Answer>::Answer answer = m_request.Take(ticket);
    if (!answer)
        return;
    ::KillTimer(m_popup, kSponsorDeadlineTimer);
    LogServiceRequest(answer.result->exchange.url, answer.result->exchange.ok, answer.result->exchange.tookMs);
    if (answer.overtaken) {
        Start();
        return;
    }
    if (!answer.result->exchange.ok)
        return;
    // A picture that came (an empty one empties the area) is drawn at once; a hidden popup shows
    // it when it is next shown.
    m_image.Destroy();
    m_image.Swap(answer.result->picture);
    if (m_control)
        ::InvalidateRect(m_control, nullptr, FALSE);
}

void CSponsorPicture::OnDeadline()
{
    ::KillTimer(m_popup, kSponsorDeadlineTimer);
    if (!m_request.IsWaiting())
        return;
    m_request.Cancel();
    LogServiceRequest(m_exchange.url, false, static_cast<DWORD>(::GetTickCount64() - m_startedAt));
}

bool CSponsorPicture::Draw(const DRAWITEMSTRUCT& item) const
{
    // Without a picture the area shows the window's own face colour (the popup clips its
    // children, so nothing else would paint it); a picture with alpha is blended over it.
    ::FillRect(item.hDC, &item.rcItem, ::GetSysColorBrush(COLOR_BTNFACE));
    m_image.Draw(item.hDC, item.rcItem);
    return true;
}

bool CSponsorPicture::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message) {
    case WM_SPONSOR_ANSWER:
        OnAnswer(wParam);
        return true;
    case WM_TIMER:
        if (wParam != kSponsorDeadlineTimer)
            return false;
        OnDeadline();
        return true;
    case WM_DRAWITEM:
        if (wParam != IDC_SPONSOR)
            return false;
        result = Draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return true;
    default:
        return false;
    }
}

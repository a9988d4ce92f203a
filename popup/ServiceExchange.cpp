#include "popup/ServiceExchange.h"

#include <algorithm>
#include <memory>

#include "fw/CInternetSession.h"

namespace {

const size_t kReadPieceBytes = 16384;

} // namespace

void RunServiceExchange(ServiceExchange& exchange)
{
    const DWORD started = ::GetTickCount();
    try {
        CInternetSession session(exchange.agent.c_str());
        session.SetTimeouts(exchange.timeoutMs);
        std::unique_ptr<CInternetFile> file = session.OpenURL(exchange.url.c_str());
        exchange.status = file->StatusCode();
        exchange.headers = file->RawHeaders();
        // A read may return less than asked: read until the body ends or the limit is reached.
        char piece[kReadPieceBytes];
        while (exchange.body.size() < exchange.bodyLimit) {
            const size_t want = std::min(sizeof piece, exchange.bodyLimit - exchange.body.size());
            const UINT read = file->Read(piece, static_cast<UINT>(want));
            if (read == 0)
                break;
            exchange.body.append(piece, read);
        }
        exchange.ok = true;
    } catch (const CInternetException&) {
    }
    exchange.tookMs = ::GetTickCount() - started;
}

// One GET of the service web server, in a session of its own: run on a request's own thread,
// with everything it touches its own. Its deadline is the window's: the request's owner cancels
// it by a timer, since the system's time-outs are not honoured everywhere (not under Wine).
#pragma once
#include <windows.h>

#include <string>

struct ServiceExchange {
    std::string url;
    std::string agent;
    DWORD timeoutMs = 0;  // asked of the system, which may not honour it
    size_t bodyLimit = 0; // the body is read up to this many bytes; 0: not read
    bool ok = false;
    DWORD status = 0;     // the HTTP status, once the answer's headers have come
    std::string headers;  // and its header lines
    std::string body;     // what arrived, also when the exchange failed half-way
    DWORD tookMs = 0;
};

void RunServiceExchange(ServiceExchange& exchange);

// Plain HTTP GETs over WinINet: a session, and a URL opened through it whose body is read.
// Failures are thrown as CInternetException, from the session's construction too.
#pragma once
#include <windows.h>
#include <wininet.h>

#include <memory>
#include <string>

#include "fw/CScopedHandle.h"

class CInternetException {
public:
    explicit CInternetException(DWORD error) : m_dwError(error) {}
    DWORD m_dwError;
};

struct CloseInternetHandle {
    void operator()(HINTERNET handle) const { ::InternetCloseHandle(handle); }
};
using CInternetHandle = CScopedHandle<HINTERNET, CloseInternetHandle>;

// An opened URL: the request has been sent and the response headers have arrived.
class CInternetFile {
public:
    explicit CInternetFile(HINTERNET file) : m_file(file) {}
    // Reads up to count bytes of the body; 0 at its end.
    UINT Read(void* buffer, UINT count);
    // Waits for the next part of the body and reads what has come of it, up to count bytes; 0 at
    // its end. A read loop that looks at the clock between such reads sees it after every part,
    // where Read may wait for its whole count.
    UINT ReadAvailable(void* buffer, UINT count);
    // The answer's HTTP status; 0 when there is none (another scheme).
    DWORD StatusCode() const;
    // The answer's header lines after the status line, each ended by CR LF; empty when there are none.
    std::string RawHeaders() const;

private:
    CInternetHandle m_file;
};

class CInternetSession {
public:
    // agent: the user agent; the system's proxy settings apply.
    CInternetSession(const char* agent, DWORD context = 1, DWORD accessType = INTERNET_OPEN_TYPE_PRECONFIG,
                     const char* proxyName = nullptr, const char* proxyBypass = nullptr, DWORD flags = 0);
    CInternetSession(const CInternetSession&) = delete;
    CInternetSession& operator=(const CInternetSession&) = delete;

    // Connect, send and receive time-outs of every request of the session.
    void SetTimeouts(DWORD milliseconds);

    // Sends the GET and waits for the response headers.
    std::unique_ptr<CInternetFile> OpenURL(const char* url, DWORD context = 1,
                                           DWORD flags = INTERNET_FLAG_TRANSFER_BINARY, const char* headers = nullptr);

    void Close() { m_session.Reset(); }

private:
    CInternetHandle m_session;
};

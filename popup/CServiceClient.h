// The popup's requests to the service web server: the preset feed list, the sponsor picture
// and the view and click reports. Each request is a plain HTTP GET in a session of its own,
// run on a worker thread and given up at a deadline, so a server that does not answer never
// holds the popup for long; a request of a kind whose earlier request was given up and still
// runs fails at once. Failures are not reported: the caller sees only that no answer came.
#pragma once
#include <string>

#include "fw/CString.h"
#include "fw/CWorkerCall.h"

class CServiceClient {
public:
    // The body of the sponsor picture is read up to this many bytes.
    static const size_t kSponsorBytes = 65535;

    CServiceClient();

    // The base address (scheme and host, with an optional port, no path) and its domain.
    const CString& BaseAddress() const { return m_base; }
    CString Domain() const;

    // The preset feed list into body; false when the request failed (body then holds whatever
    // arrived before the failure, when the request ended in time).
    bool FetchPresetList(std::string& body);
    // The first kSponsorBytes bytes of the sponsor picture's body.
    bool FetchSponsorPicture(std::string& body);
    // The reports are sent unescaped: the feed URL and the link go into the query as they are.
    void ReportView(const char* feedUrl);
    void ReportClick(const char* feedUrl, const char* link);

private:
    bool Get(CWorkerCall& call, const CString& path, size_t bodyLimit, std::string* body, DWORD deadlineMs);

    CString m_base;
    CString m_agent;
    bool m_waiting = false;
    CWorkerCall m_presetCall;
    CWorkerCall m_sponsorCall;
    CWorkerCall m_viewCall;
    CWorkerCall m_clickCall;
};

// Fetches what a drop on My Feeds names but cannot be read at once: a subscription list behind a
// link, or a dropped file on another machine. The dialog's thread must never wait on the
// network, so the documents are read on a thread of their own (CAsyncRequest), and the dialog
// takes the feeds they give when its message comes, if it still wants them: a fetch that ran
// past its deadline, or whose dialog has gone, adds nothing.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "fw/CAsyncRequest.h"

class CSubscriptionFetch {
public:
    // Posted to the dialog when the documents have been read; wParam is the ticket for Finish.
    static const UINT kFetchedMessage = WM_APP + 1;
    // The dialog's timer that ends the wait; the documents' downloads end at the same deadline.
    static const UINT_PTR kDeadlineTimer = 1;
    static const UINT kDeadlineMs = 15000;

    // Starts reading the documents (http or https addresses, or file paths), in order, and the
    // deadline; false when an earlier fetch still runs or no thread could start.
    bool Start(HWND dialog, const std::vector<std::string>& sources);

    // On kFetchedMessage: true when the answer is the one wanted (not too late, not an older
    // fetch's), with the feeds the documents give, in order, in `feeds` (none when no document
    // could be read or none was a list or a feed).
    bool Finish(HWND dialog, WPARAM ticket, std::vector<std::string>& feeds);

    // On the deadline, and when the dialog goes: the answer under way is not wanted.
    void Cancel(HWND dialog);

    // True from Start until the answer has been taken or given up.
    bool IsWaiting() const { return m_request.IsWaiting(); }

private:
    struct Documents {
        std::vector<std::string> sources;
        std::vector<std::string> bodies; // one per source, empty when it could not be read
    };
    static void Read(Documents& documents, ULONGLONG deadline);

    CAsyncRequest<Documents> m_request;
};

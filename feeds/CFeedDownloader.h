// Downloads a feed into a file.
#pragma once
#include "fw/CString.h"

class CFeedDownloader {
public:
    // A download that makes no progress for this long is abandoned.
    static const unsigned long kStallTimeoutMs = 30000;

    // Synchronous; true when the whole document is in the file. An answer with an HTTP error
    // status (a "not found" page, say) is a failed download.
    static bool Download(const CString& url, const CString& path);

    // For the tests of the stall handling only; the program never calls it.
    static void SetStallTimeoutForTests(unsigned long milliseconds);

private:
    static unsigned long s_stallTimeoutMs;
};

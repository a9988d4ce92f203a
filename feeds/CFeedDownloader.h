// Downloads a feed into a file.
#pragma once
#include "feeds/HttpAnswer.h"
#include "fw/CString.h"

class CFeedDownloader {
public:
    // A download that makes no progress for this long is given up, and so is one that has not
    // ended after the deadline or brings more than the size limit, counted as written to the
    // file: an answer sent compressed counts as what it inflates to.
    static const unsigned long kStallTimeoutMs = 30000;
    static const unsigned long kDeadlineMs = 120000;
    static const unsigned long long kMaxBytes = 32ull << 20;

    // Runs on the caller's thread; true when the whole document is in the file. An answer with an
    // HTTP error status (a "not found" page, say) is a failed download. The download goes into a
    // file of its own; the file at `path` is replaced only by a download that ended well. A
    // download given up on (it stalled or ran past its deadline) is told to abort and left at
    // once; until the thread that ran it has ended, the next download fails at once rather than
    // start another.
    static bool Download(const CString& url, const CString& path);
    // The same, sending the validators of the copy already held, so that the server may answer
    // "304 Not Modified" (then no file is written and false is returned); `answer` takes the
    // status and what the server said of validators and of when to ask again (status 0 when no
    // answer came at all).
    static bool Download(const CString& url, const CString& path, const CHttpValidators& conditions,
                         CHttpAnswer& answer);

    // For the tests of the limits only; the program never calls it.
    static void SetLimitsForTests(unsigned long stallTimeoutMs, unsigned long deadlineMs, unsigned long long maxBytes);
};

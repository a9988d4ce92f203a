#include "feeds/CFeedDownloader.h"

#include "feeds/CDownloadWatch.h"
#include "fw/CComPtr.h"
#include "fw/CScopedHandle.h"
#include "fw/Win32Util.h"

#include <windows.h>
#include <objbase.h>
#include <urlmon.h>

#include <memory>
#include <string>

namespace {

unsigned long g_stallTimeoutMs = CFeedDownloader::kStallTimeoutMs;
unsigned long g_deadlineMs = CFeedDownloader::kDeadlineMs;
unsigned long long g_maxBytes = CFeedDownloader::kMaxBytes;

// The thread that ran the last download given up on: until it has ended, no other download
// starts, so that a server that stalls costs one thread, not one per download.
SRWLOCK g_abandonedLock = SRWLOCK_INIT;
CKernelHandle g_abandonedThread;

bool AbandonedThreadRuns()
{
    ::AcquireSRWLockExclusive(&g_abandonedLock);
    if (g_abandonedThread && ::WaitForSingleObject(g_abandonedThread.Get(), 0) != WAIT_TIMEOUT)
        g_abandonedThread.Reset();
    const bool runs = static_cast<bool>(g_abandonedThread);
    ::ReleaseSRWLockExclusive(&g_abandonedLock);
    return runs;
}

void RememberAbandonedThread()
{
    HANDLE thread = nullptr;
    if (!::DuplicateHandle(::GetCurrentProcess(), ::GetCurrentThread(), ::GetCurrentProcess(), &thread, SYNCHRONIZE,
                           FALSE, 0))
        return;
    ::AcquireSRWLockExclusive(&g_abandonedLock);
    g_abandonedThread.Reset(thread);
    ::ReleaseSRWLockExclusive(&g_abandonedLock);
}

} // namespace

bool CFeedDownloader::Download(const CString& url, const CString& path)
{
    CHttpAnswer answer;
    return Download(url, path, CHttpValidators(), answer);
}

bool CFeedDownloader::Download(const CString& url, const CString& path, const CHttpValidators& conditions,
                               CHttpAnswer& answer)
{
    answer = CHttpAnswer();
    if (AbandonedThreadRuns()) {
        answer.abandoned = true;
        return false;
    }
    const std::string file = std::string(path.GetString()) + ".download";
    auto progress = std::make_shared<CDownloadProgress>(::GetTickCount64() + g_deadlineMs, g_stallTimeoutMs, g_maxBytes);
    bool downloaded = false;
    DWORD status = 0;
    std::string responseHeaders;
    {
        CComApartment com;
        CComPtr<CDownloadWatch> watch(CDownloadWatch::Create(progress, file));
        watch->SetRequestHeaders(ConditionalRequestHeaders(conditions));
        downloaded = watch->Download(url.GetString());
        status = watch->GetHttpStatus();
        responseHeaders = watch->GetResponseHeaders();
        answer.result = static_cast<long>(watch->GetResult());
        answer.redirectedTo = watch->GetRedirectedTo();
    }
    // A "not modified" brings no document, whatever the moniker library makes of it.
    const bool succeeded = downloaded && status < 400 && status != 304;
    if (progress->abandoned) {
        RememberAbandonedThread();
        ::DeleteFileA(file.c_str());
        answer = CHttpAnswer();
        answer.abandoned = true;
        return false;
    }
    const long result = answer.result;
    const std::string redirectedTo = answer.redirectedTo;
    answer = ReadHttpAnswer(status, responseHeaders, SystemEpochSeconds());
    answer.result = result;
    answer.redirectedTo = redirectedTo;
    if (!succeeded) {
        ::DeleteFileA(file.c_str());
        return false;
    }
    return ::MoveFileExA(file.c_str(), path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED);
}

void CFeedDownloader::SetLimitsForTests(unsigned long stallTimeoutMs, unsigned long deadlineMs, unsigned long long maxBytes)
{
    g_stallTimeoutMs = stallTimeoutMs;
    g_deadlineMs = deadlineMs;
    g_maxBytes = maxBytes;
}

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

// The last download given up on before its binding stopped, and the thread that ran it: it may
// still hang in the system, holding what it was given, until it stops or that thread ends.
SRWLOCK g_hangingLock = SRWLOCK_INIT;
std::shared_ptr<CDownloadProgress> g_hanging;
CKernelHandle g_hangingThread;

bool StillHanging()
{
    ::AcquireSRWLockExclusive(&g_hangingLock);
    if (g_hanging && (::InterlockedCompareExchange(&g_hanging->stopped, 0, 0)
                      || !g_hangingThread || ::WaitForSingleObject(g_hangingThread.Get(), 0) == WAIT_OBJECT_0)) {
        g_hanging.reset();
        g_hangingThread.Reset();
    }
    const bool hanging = g_hanging != nullptr;
    ::ReleaseSRWLockExclusive(&g_hangingLock);
    return hanging;
}

void RememberHanging(const std::shared_ptr<CDownloadProgress>& progress)
{
    HANDLE thread = nullptr;
    ::DuplicateHandle(::GetCurrentProcess(), ::GetCurrentThread(), ::GetCurrentProcess(), &thread, SYNCHRONIZE,
                      FALSE, 0);
    ::AcquireSRWLockExclusive(&g_hangingLock);
    g_hanging = progress;
    g_hangingThread.Reset(thread);
    ::ReleaseSRWLockExclusive(&g_hangingLock);
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
    if (StillHanging()) {
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
        if (!::InterlockedCompareExchange(&progress->stopped, 0, 0))
            RememberHanging(progress);
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

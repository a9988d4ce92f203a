#include "feeds/CFeedDownloader.h"

#include "feeds/CDownloadWatch.h"
#include "fw/CWorkerCall.h"
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

// One download at a time; a download given up on keeps it until its thread ends.
CWorkerCall& Worker()
{
    static CWorkerCall worker;
    return worker;
}

struct Job {
    std::string url;
    std::string file; // where this download writes
    std::string requestHeaders;
    std::shared_ptr<CDownloadProgress> progress;
    bool succeeded = false;
    DWORD status = 0;
    std::string responseHeaders;
    HRESULT result = S_OK;
    std::string redirectedTo;
};

// Runs on the download's own thread.
void RunJob(Job& job)
{
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    CDownloadWatch* watch = CDownloadWatch::Create(job.progress, job.file);
    watch->SetRequestHeaders(job.requestHeaders);
    const bool downloaded = watch->Download(job.url);
    job.status = watch->GetHttpStatus();
    job.responseHeaders = watch->GetResponseHeaders();
    job.result = watch->GetResult();
    job.redirectedTo = watch->GetRedirectedTo();
    // A "not modified" brings no document, whatever the moniker library makes of it.
    job.succeeded = downloaded && job.status < 400 && job.status != 304;
    watch->Release();
    if (SUCCEEDED(com))
        ::CoUninitialize();
    if (!job.succeeded || ::InterlockedCompareExchange(&job.progress->abandoned, 0, 0))
        ::DeleteFileA(job.file.c_str());
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
    const ULONGLONG start = ::GetTickCount64();
    auto job = std::make_shared<Job>();
    job->url = url.GetString();
    job->requestHeaders = ConditionalRequestHeaders(conditions);
    job->file = std::string(path.GetString()) + ".download";
    job->progress = std::make_shared<CDownloadProgress>(start + g_deadlineMs, g_maxBytes);
    const std::shared_ptr<CDownloadProgress> progress = job->progress;
    const unsigned long stallMs = g_stallTimeoutMs;
    const bool ended = Worker().Run([job] { RunJob(*job); }, g_deadlineMs, [progress, stallMs] {
        const ULONGLONG last = static_cast<ULONGLONG>(::InterlockedCompareExchange64(&progress->lastProgress, 0, 0));
        return ::GetTickCount64() - last >= stallMs;
    });
    if (!ended) {
        ::InterlockedExchange(&progress->abandoned, 1);
        answer.abandoned = true;
        return false;
    }
    answer = ReadHttpAnswer(job->status, job->responseHeaders, SystemEpochSeconds());
    answer.result = static_cast<long>(job->result);
    answer.redirectedTo = job->redirectedTo;
    return job->succeeded && ::MoveFileExA(job->file.c_str(), path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED);
}

void CFeedDownloader::SetLimitsForTests(unsigned long stallTimeoutMs, unsigned long deadlineMs, unsigned long long maxBytes)
{
    g_stallTimeoutMs = stallTimeoutMs;
    g_deadlineMs = deadlineMs;
    g_maxBytes = maxBytes;
}

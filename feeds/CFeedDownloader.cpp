#include "feeds/CFeedDownloader.h"

#include "feeds/CDownloadWatch.h"
#include "fw/CWorkerCall.h"

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
    std::shared_ptr<CDownloadProgress> progress;
    bool succeeded = false;
};

ULONGLONG FileSize(const char* path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(path, GetFileExInfoStandard, &data))
        return 0;
    return (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Runs on the download's own thread.
void RunJob(Job& job)
{
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    CDownloadWatch* watch = CDownloadWatch::Create(job.progress);
    const HRESULT result = ::URLDownloadToFileA(nullptr, job.url.c_str(), job.file.c_str(), 0, watch);
    job.succeeded = result == S_OK && !watch->Ended() && watch->GetHttpStatus() < 400
        && FileSize(job.file.c_str()) <= job.progress->maxBytes;
    watch->Release();
    if (SUCCEEDED(com))
        ::CoUninitialize();
    if (!job.succeeded || ::InterlockedCompareExchange(&job.progress->abandoned, 0, 0))
        ::DeleteFileA(job.file.c_str());
}

} // namespace

bool CFeedDownloader::Download(const CString& url, const CString& path)
{
    const ULONGLONG start = ::GetTickCount64();
    auto job = std::make_shared<Job>();
    job->url = url.GetString();
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
        return false;
    }
    return job->succeeded && ::MoveFileExA(job->file.c_str(), path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED);
}

void CFeedDownloader::SetLimitsForTests(unsigned long stallTimeoutMs, unsigned long deadlineMs, unsigned long long maxBytes)
{
    g_stallTimeoutMs = stallTimeoutMs;
    g_deadlineMs = deadlineMs;
    g_maxBytes = maxBytes;
}

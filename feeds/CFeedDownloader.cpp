#include "feeds/CFeedDownloader.h"

#include "feeds/CDownloadWatch.h"

#include <windows.h>
#include <urlmon.h>

unsigned long CFeedDownloader::s_stallTimeoutMs = CFeedDownloader::kStallTimeoutMs;

bool CFeedDownloader::Download(const CString& url, const CString& path)
{
    CDownloadWatch* watch = CDownloadWatch::Create(s_stallTimeoutMs);
    if (!watch->Start()) {
        watch->Release();
        return false;
    }
    const HRESULT result = ::URLDownloadToFileA(nullptr, url, path, 0, watch);
    watch->Stop();
    const bool abandoned = watch->WasAbandoned();
    const DWORD status = watch->GetHttpStatus();
    watch->Release();
    return result == S_OK && !abandoned && status < 400;
}

void CFeedDownloader::SetStallTimeoutForTests(unsigned long milliseconds)
{
    s_stallTimeoutMs = milliseconds;
}

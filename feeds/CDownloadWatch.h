// Watches one download of the URL moniker library from within: takes in what the server
// answered, notes each sign of progress, and ends the download once it is given up on, has
// run past its deadline or brought more than its size limit. It lives on the thread that runs
// the download, and is called only there; the thread that waits for the download reads the
// shared progress.
#pragma once
#include <windows.h>
#include <urlmon.h>

#include <memory>

// What the download's thread and the waiting thread share.
struct CDownloadProgress {
    CDownloadProgress(ULONGLONG deadline, ULONGLONG maxBytes)
        : lastProgress(::GetTickCount64()), deadline(deadline), maxBytes(maxBytes)
    {
    }
    volatile LONG64 lastProgress;   // tick count of the last sign of life
    volatile LONG64 bytes = 0;      // received so far
    volatile LONG abandoned = 0;    // set by the waiting thread when it gives up
    const ULONGLONG deadline;       // tick count after which the download ends
    const ULONGLONG maxBytes;
};

class CDownloadWatch : public IBindStatusCallback, public IHttpNegotiate {
public:
    // A COM object of its own: created with one reference, which the creator releases.
    static CDownloadWatch* Create(std::shared_ptr<CDownloadProgress> progress);

    // The HTTP status of the response, 0 when there was none.
    DWORD GetHttpStatus() const { return m_httpStatus; }
    // True when the watch ended the download (given up, too late or too large).
    bool Ended() const { return m_ended; }

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IBindStatusCallback
    STDMETHODIMP OnStartBinding(DWORD reserved, IBinding* binding) override;
    STDMETHODIMP GetPriority(LONG* priority) override;
    STDMETHODIMP OnLowResource(DWORD reserved) override;
    STDMETHODIMP OnProgress(ULONG progress, ULONG progressMax, ULONG statusCode, LPCWSTR statusText) override;
    STDMETHODIMP OnStopBinding(HRESULT result, LPCWSTR error) override;
    STDMETHODIMP GetBindInfo(DWORD* bindFlags, BINDINFO* bindInfo) override;
    STDMETHODIMP OnDataAvailable(DWORD flags, DWORD size, FORMATETC* format, STGMEDIUM* medium) override;
    STDMETHODIMP OnObjectAvailable(REFIID iid, IUnknown* object) override;

    // IHttpNegotiate
    STDMETHODIMP BeginningTransaction(LPCWSTR url, LPCWSTR headers, DWORD reserved, LPWSTR* additionalHeaders) override;
    STDMETHODIMP OnResponse(DWORD status, LPCWSTR responseHeaders, LPCWSTR requestHeaders,
                            LPWSTR* additionalRequestHeaders) override;

private:
    explicit CDownloadWatch(std::shared_ptr<CDownloadProgress> progress);
    virtual ~CDownloadWatch() = default;

    // Notes a sign of life; false when the download is to end.
    bool Continue(ULONGLONG bytes);

    LONG m_refs;
    std::shared_ptr<CDownloadProgress> m_progress;
    DWORD m_httpStatus;
    bool m_ended;
};

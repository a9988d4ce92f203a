// Watches one download of the URL moniker library: takes in what the server answered and
// abandons the download when it makes no progress for a while.
#pragma once
#include <windows.h>
#include <urlmon.h>

class CDownloadWatch : public IBindStatusCallback, public IHttpNegotiate {
public:
    // A COM object of its own: created with one reference, which the creator releases.
    static CDownloadWatch* Create(DWORD stallTimeoutMs);

    // The watchdog runs on a thread of its own from Start to Stop: the download blocks the
    // calling thread and delivers no notice while the server sends nothing (and a timer of the
    // calling thread does not fire during the download either). Stop waits for the thread.
    bool Start();
    void Stop();

    bool WasAbandoned() const;
    // The HTTP status of the response, 0 when there was none.
    DWORD GetHttpStatus() const;

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
    explicit CDownloadWatch(DWORD stallTimeoutMs);
    virtual ~CDownloadWatch();

    static DWORD WINAPI WatchdogThread(void* self);
    void Watch();
    void NoteProgress();
    void AbandonIfStalled();

    LONG m_refs;
    const DWORD m_stallTimeoutMs;
    HANDLE m_stopEvent;
    HANDLE m_thread;

    // Shared with the watchdog thread.
    mutable CRITICAL_SECTION m_lock;
    IBinding* m_binding;
    ULONGLONG m_lastProgress;
    bool m_abandoned;
    DWORD m_httpStatus;
};

// Runs one download of the URL moniker library and writes what it brings into a file: takes in
// what the server answered, notes each sign of progress, and ends the download once it is given
// up on: it made no progress for too long, ran past its deadline or brought more than its size
// limit.
//
// The limit holds for what is written, not for what comes over the wire: an answer sent
// compressed arrives inflated. The download is therefore bound asynchronously and its data taken
// from the stream piece by piece, which ends it at the first byte past the limit; a synchronous
// binding would have the moniker library inflate the whole answer into a cache file of its own
// before a single piece is seen.
//
// It lives on the thread that runs the download, and is called only there (its callbacks come
// through that thread's messages, which it handles while it watches). A download given up for
// lack of progress or time is told to abort and left at once.
#pragma once
#include <windows.h>
#include <urlmon.h>

#include <memory>
#include <string>

#include "fw/CComPtr.h"
#include "fw/CScopedHandle.h"

// A download's limits and how it went.
struct CDownloadProgress {
    CDownloadProgress(ULONGLONG deadline, ULONGLONG stallMs, ULONGLONG maxBytes)
        : lastProgress(::GetTickCount64()), deadline(deadline), stallMs(stallMs), maxBytes(maxBytes)
    {
    }
    ULONGLONG lastProgress;       // tick count of the last sign of life
    ULONGLONG bytes = 0;          // written so far
    bool abandoned = false;       // given up: it stalled or ran past its deadline
    const ULONGLONG deadline;     // tick count after which the download ends
    const ULONGLONG stallMs;      // a download without progress for this long ends
    const ULONGLONG maxBytes;
};

class CDownloadWatch : public IBindStatusCallback, public IHttpNegotiate {
public:
    // A COM object of its own: created with one reference, which the creator releases. The
    // download goes to `file`, which is made anew.
    static CDownloadWatch* Create(std::shared_ptr<CDownloadProgress> progress, const std::string& file);

    // Runs the download, handling the thread's messages until it has ended; true when the whole
    // document is in the file. The file is closed when this returns, whatever the outcome.
    bool Download(const std::string& url);

    // Header lines (each ended by CR LF) sent with the request: the conditions of a download
    // that asks for the document only if it changed.
    void SetRequestHeaders(const std::string& lines) { m_requestHeaders = lines; }

    // The HTTP status of the response, 0 when there was none, and its header lines.
    DWORD GetHttpStatus() const { return m_httpStatus; }
    const std::string& GetResponseHeaders() const { return m_responseHeaders; }
    // The system's result for the download (S_OK when it ended well), and the last address a
    // redirect led to (empty without one).
    HRESULT GetResult() const { return m_result; }
    const std::string& GetRedirectedTo() const { return m_redirectedTo; }

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
    CDownloadWatch(std::shared_ptr<CDownloadProgress> progress, const std::string& file);
    virtual ~CDownloadWatch() = default;

    // True once the download is to end: past its deadline, or too large.
    bool Ending();
    // True once it has made no progress for the stall time-out (it is then given up on).
    bool Stalled();
    // Notes a sign of life; false when the download is to end.
    bool Continue();
    // Writes what the stream holds now into the file; false when the download is to end.
    bool TakeData(IStream* stream);
    // Handles the thread's messages, which carry the callbacks, until the binding has stopped or
    // the download is given up on.
    void WaitForStop();

    LONG m_refs;
    std::shared_ptr<CDownloadProgress> m_progress;
    CKernelHandle m_file;
    CComPtr<IBinding> m_binding;
    std::string m_requestHeaders;
    std::string m_responseHeaders;
    ULONGLONG m_written;
    DWORD m_httpStatus;
    bool m_ended;       // the watch ended the download
    bool m_stopped;     // the binding has stopped
    bool m_complete;    // ... and brought the whole document
    bool m_writeFailed;
    HRESULT m_result = S_OK;
    std::string m_redirectedTo;
};

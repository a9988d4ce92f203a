#include "feeds/CDownloadWatch.h"

#include <utility>

namespace {

const ULONG kPieceBytes = 64 * 1024;
// After the binding is told to abort, how long its stop may take before the watch stops waiting.
const ULONGLONG kAbortGraceMs = 2000;
// How often the watch looks at the clock while no callback comes.
const DWORD kWatchPollMs = 50;
// The response headers are read this far at most.
const size_t kLongestHeaders = 64 * 1024;
const size_t kLongestRedirect = 2048;

} // namespace

CDownloadWatch* CDownloadWatch::Create(std::shared_ptr<CDownloadProgress> progress, const std::string& file)
{
    return new CDownloadWatch(std::move(progress), file);
}

CDownloadWatch::CDownloadWatch(std::shared_ptr<CDownloadProgress> progress, const std::string& file)
    : m_refs(1), m_progress(std::move(progress)), m_written(0), m_httpStatus(0), m_ended(false), m_stopped(false),
      m_complete(false), m_writeFailed(false)
{
    const HANDLE handle = ::CreateFileA(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE)
        m_file.Reset(handle);
}

bool CDownloadWatch::Download(const std::string& url)
{
    // The address as URLDownloadToFileA takes it: text in the process's code page.
    const int length = ::MultiByteToWideChar(CP_ACP, 0, url.c_str(), -1, nullptr, 0);
    std::wstring wide(length > 0 ? static_cast<size_t>(length) : 1, L'\0');
    HRESULT result = E_FAIL;
    if (m_file && length > 0 && ::MultiByteToWideChar(CP_ACP, 0, url.c_str(), -1, &wide[0], length)) {
        CComPtr<IBindCtx> context;
        CComPtr<IMoniker> moniker;
        CComPtr<IStream> stream;
        result = ::CreateAsyncBindCtx(0, this, nullptr, context.Receive());
        if (SUCCEEDED(result))
            result = ::CreateURLMoniker(nullptr, wide.c_str(), moniker.Receive());
        if (SUCCEEDED(result))
            result = moniker->BindToStorage(context.Get(), nullptr, IID_IStream,
                                            reinterpret_cast<void**>(stream.Receive()));
        if (SUCCEEDED(result))
            WaitForStop();
        m_binding.Reset();
    }
    m_file.Reset();
    if (FAILED(result))
        m_result = result;
    return SUCCEEDED(result) && m_complete && !m_ended && !m_writeFailed;
}

// A download that ends for its size or a failed write is waited for a while, so that its binding
// stops; one given up on is told to abort and left at once.
void CDownloadWatch::WaitForStop()
{
    ULONGLONG abortedAt = 0;
    while (!m_stopped) {
        if (!abortedAt && (m_ended || m_writeFailed || Ending() || Stalled())) {
            abortedAt = ::GetTickCount64();
            if (m_binding)
                m_binding->Abort();
        }
        if (abortedAt && (m_progress->abandoned || ::GetTickCount64() - abortedAt >= kAbortGraceMs))
            return;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, kWatchPollMs, QS_ALLINPUT);
        MSG message;
        while (!m_stopped && ::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&message);
            ::DispatchMessageA(&message);
        }
    }
}

bool CDownloadWatch::Ending()
{
    if (!m_ended && ::GetTickCount64() >= m_progress->deadline)
        m_ended = m_progress->abandoned = true;
    return m_ended;
}

bool CDownloadWatch::Stalled()
{
    if (!m_ended && ::GetTickCount64() - m_progress->lastProgress >= m_progress->stallMs)
        m_ended = m_progress->abandoned = true;
    return m_ended;
}

bool CDownloadWatch::Continue()
{
    if (Ending())
        return false;
    m_progress->lastProgress = ::GetTickCount64();
    return true;
}

bool CDownloadWatch::TakeData(IStream* stream)
{
    char piece[kPieceBytes];
    for (;;) {
        if (!Continue())
            return false;
        ULONG read = 0;
        const HRESULT result = stream->Read(piece, kPieceBytes, &read);
        if (read > 0) {
            if (m_written + read > m_progress->maxBytes) {
                m_ended = true; // too large: nothing past the limit is written
                return false;
            }
            DWORD written = 0;
            if (!::WriteFile(m_file.Get(), piece, read, &written, nullptr) || written != read) {
                m_writeFailed = true;
                return false;
            }
            m_written += read;
            m_progress->bytes = m_written;
        }
        if (result == E_PENDING || (SUCCEEDED(result) && read == 0))
            return true; // the rest comes with a later notification, or the stream has ended
        if (FAILED(result))
            return false;
    }
}

STDMETHODIMP CDownloadWatch::QueryInterface(REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IBindStatusCallback))
        *object = static_cast<IBindStatusCallback*>(this);
    else if (IsEqualIID(iid, IID_IHttpNegotiate))
        *object = static_cast<IHttpNegotiate*>(this);
    else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) CDownloadWatch::AddRef()
{
    return static_cast<ULONG>(::InterlockedIncrement(&m_refs));
}

STDMETHODIMP_(ULONG) CDownloadWatch::Release()
{
    const LONG refs = ::InterlockedDecrement(&m_refs);
    if (refs == 0)
        delete this;
    return static_cast<ULONG>(refs);
}

STDMETHODIMP CDownloadWatch::OnStartBinding(DWORD, IBinding* binding)
{
    if (binding)
        binding->AddRef();
    m_binding.Reset(binding);
    return Continue() ? S_OK : E_ABORT;
}

STDMETHODIMP CDownloadWatch::GetPriority(LONG*)
{
    return E_NOTIMPL;
}

STDMETHODIMP CDownloadWatch::OnLowResource(DWORD)
{
    return S_OK;
}

// A redirect's address is kept as ASCII, as the headers are: it is only shown to the user.
STDMETHODIMP CDownloadWatch::OnProgress(ULONG, ULONG, ULONG statusCode, LPCWSTR statusText)
{
    if (statusCode == BINDSTATUS_REDIRECTING && statusText) {
        m_redirectedTo.clear();
        for (const wchar_t* at = statusText; *at && m_redirectedTo.size() < kLongestRedirect; ++at)
            m_redirectedTo += *at >= 0x20 && *at < 0x7F ? static_cast<char>(*at) : '?';
    }
    return Continue() ? S_OK : E_ABORT;
}

STDMETHODIMP CDownloadWatch::OnStopBinding(HRESULT result, LPCWSTR)
{
    m_stopped = true;
    m_complete = SUCCEEDED(result);
    m_result = result;
    m_binding.Reset();
    return S_OK;
}

STDMETHODIMP CDownloadWatch::GetBindInfo(DWORD* bindFlags, BINDINFO*)
{
    // The data is taken from the stream as it comes. A refresh must see what the server has
    // now, not a copy from the cache, and no copy of the answer goes to the cache either.
    if (bindFlags)
        *bindFlags = BINDF_ASYNCHRONOUS | BINDF_ASYNCSTORAGE | BINDF_PULLDATA | BINDF_GETNEWESTVERSION
            | BINDF_NOWRITECACHE;
    return S_OK;
}

STDMETHODIMP CDownloadWatch::OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM* medium)
{
    if (!medium || medium->tymed != TYMED_ISTREAM || !medium->pstm)
        return Continue() ? S_OK : E_ABORT;
    return TakeData(medium->pstm) ? S_OK : E_ABORT;
}

STDMETHODIMP CDownloadWatch::OnObjectAvailable(REFIID, IUnknown*)
{
    return S_OK;
}

STDMETHODIMP CDownloadWatch::BeginningTransaction(LPCWSTR, LPCWSTR, DWORD, LPWSTR* additionalHeaders)
{
    if (additionalHeaders) {
        *additionalHeaders = nullptr;
        // The lines are ASCII (the server's validators were checked before they came here);
        // the moniker library frees what it is given with the task allocator.
        if (!m_requestHeaders.empty()) {
            const size_t count = m_requestHeaders.size();
            wchar_t* lines = static_cast<wchar_t*>(::CoTaskMemAlloc((count + 1) * sizeof(wchar_t)));
            if (lines) {
                for (size_t i = 0; i < count; ++i)
                    lines[i] = static_cast<unsigned char>(m_requestHeaders[i]);
                lines[count] = L'\0';
                *additionalHeaders = lines;
            }
        }
    }
    return Continue() ? S_OK : E_ABORT;
}

STDMETHODIMP CDownloadWatch::OnResponse(DWORD status, LPCWSTR responseHeaders, LPCWSTR, LPWSTR* additionalRequestHeaders)
{
    if (additionalRequestHeaders)
        *additionalRequestHeaders = nullptr;
    m_httpStatus = status;
    // Kept as bytes: only ASCII matters to what is read of them, anything else becomes "?".
    m_responseHeaders.clear();
    for (const wchar_t* at = responseHeaders; at && *at && m_responseHeaders.size() < kLongestHeaders; ++at)
        m_responseHeaders += *at < 0x80 ? static_cast<char>(*at) : '?';
    // "Not modified" brings no document: the binding ends here rather than look for one.
    if (status == 304)
        return E_ABORT;
    return Continue() ? S_OK : E_ABORT;
}

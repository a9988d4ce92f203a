#include "feeds/CDownloadWatch.h"

namespace {

const DWORD kWatchIntervalMs = 100;

} // namespace

CDownloadWatch* CDownloadWatch::Create(DWORD stallTimeoutMs)
{
    return new CDownloadWatch(stallTimeoutMs);
}

CDownloadWatch::CDownloadWatch(DWORD stallTimeoutMs)
    : m_refs(1),
      m_stallTimeoutMs(stallTimeoutMs),
      m_stopEvent(::CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      m_thread(nullptr),
      m_binding(nullptr),
      m_lastProgress(::GetTickCount64()),
      m_abandoned(false),
      m_httpStatus(0)
{
    ::InitializeCriticalSection(&m_lock);
}

// The watchdog thread holds a reference until it ends, so it is over (or ending) by now.
CDownloadWatch::~CDownloadWatch()
{
    if (m_thread)
        ::CloseHandle(m_thread);
    if (m_binding)
        m_binding->Release();
    if (m_stopEvent)
        ::CloseHandle(m_stopEvent);
    ::DeleteCriticalSection(&m_lock);
}

bool CDownloadWatch::Start()
{
    if (!m_stopEvent)
        return false;
    AddRef(); // the watchdog's own reference
    m_thread = ::CreateThread(nullptr, 0, WatchdogThread, this, 0, nullptr);
    if (!m_thread) {
        Release();
        return false;
    }
    return true;
}

void CDownloadWatch::Stop()
{
    if (!m_thread)
        return;
    ::SetEvent(m_stopEvent);
    ::WaitForSingleObject(m_thread, INFINITE);
    ::CloseHandle(m_thread);
    m_thread = nullptr;
}

bool CDownloadWatch::WasAbandoned() const
{
    ::EnterCriticalSection(&m_lock);
    const bool abandoned = m_abandoned;
    ::LeaveCriticalSection(&m_lock);
    return abandoned;
}

DWORD CDownloadWatch::GetHttpStatus() const
{
    ::EnterCriticalSection(&m_lock);
    const DWORD status = m_httpStatus;
    ::LeaveCriticalSection(&m_lock);
    return status;
}

DWORD WINAPI CDownloadWatch::WatchdogThread(void* self)
{
    CDownloadWatch* watch = static_cast<CDownloadWatch*>(self);
    watch->Watch();
    watch->Release();
    return 0;
}

void CDownloadWatch::Watch()
{
    while (::WaitForSingleObject(m_stopEvent, kWatchIntervalMs) == WAIT_TIMEOUT)
        AbandonIfStalled();
}

void CDownloadWatch::NoteProgress()
{
    ::EnterCriticalSection(&m_lock);
    m_lastProgress = ::GetTickCount64();
    ::LeaveCriticalSection(&m_lock);
}

// Aborting the binding from this thread ends the download that blocks the other one: the
// moniker library hands the abort over to the thread that runs the binding. A download that
// has no binding yet is refused when it starts.
void CDownloadWatch::AbandonIfStalled()
{
    IBinding* binding = nullptr;
    ::EnterCriticalSection(&m_lock);
    if (!m_abandoned && ::GetTickCount64() - m_lastProgress >= m_stallTimeoutMs) {
        m_abandoned = true;
        binding = m_binding;
        if (binding)
            binding->AddRef();
    }
    ::LeaveCriticalSection(&m_lock);
    if (binding) {
        binding->Abort();
        binding->Release();
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
    ::EnterCriticalSection(&m_lock);
    if (m_binding)
        m_binding->Release();
    m_binding = binding;
    if (m_binding)
        m_binding->AddRef();
    m_lastProgress = ::GetTickCount64();
    const bool abandoned = m_abandoned;
    ::LeaveCriticalSection(&m_lock);
    return abandoned ? E_ABORT : S_OK;
}

STDMETHODIMP CDownloadWatch::GetPriority(LONG*)
{
    return E_NOTIMPL;
}

STDMETHODIMP CDownloadWatch::OnLowResource(DWORD)
{
    return S_OK;
}

STDMETHODIMP CDownloadWatch::OnProgress(ULONG, ULONG, ULONG, LPCWSTR)
{
    if (WasAbandoned())
        return E_ABORT;
    NoteProgress();
    return S_OK;
}

STDMETHODIMP CDownloadWatch::OnStopBinding(HRESULT, LPCWSTR)
{
    ::EnterCriticalSection(&m_lock);
    if (m_binding)
        m_binding->Release();
    m_binding = nullptr;
    ::LeaveCriticalSection(&m_lock);
    return S_OK;
}

STDMETHODIMP CDownloadWatch::GetBindInfo(DWORD* bindFlags, BINDINFO*)
{
    // A refresh must see what the server has now, not a copy from the cache.
    if (bindFlags)
        *bindFlags |= BINDF_GETNEWESTVERSION;
    return S_OK;
}

STDMETHODIMP CDownloadWatch::OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*)
{
    NoteProgress();
    return S_OK;
}

STDMETHODIMP CDownloadWatch::OnObjectAvailable(REFIID, IUnknown*)
{
    return S_OK;
}

STDMETHODIMP CDownloadWatch::BeginningTransaction(LPCWSTR, LPCWSTR, DWORD, LPWSTR* additionalHeaders)
{
    if (additionalHeaders)
        *additionalHeaders = nullptr;
    return S_OK;
}

STDMETHODIMP CDownloadWatch::OnResponse(DWORD status, LPCWSTR, LPCWSTR, LPWSTR* additionalRequestHeaders)
{
    if (additionalRequestHeaders)
        *additionalRequestHeaders = nullptr;
    ::EnterCriticalSection(&m_lock);
    m_httpStatus = status;
    m_lastProgress = ::GetTickCount64();
    ::LeaveCriticalSection(&m_lock);
    return S_OK;
}

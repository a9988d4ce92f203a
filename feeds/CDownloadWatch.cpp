#include "feeds/CDownloadWatch.h"

#include <utility>

CDownloadWatch* CDownloadWatch::Create(std::shared_ptr<CDownloadProgress> progress)
{
    return new CDownloadWatch(std::move(progress));
}

CDownloadWatch::CDownloadWatch(std::shared_ptr<CDownloadProgress> progress)
    : m_refs(1), m_progress(std::move(progress)), m_httpStatus(0), m_ended(false)
{
}

bool CDownloadWatch::Continue(ULONGLONG bytes)
{
    CDownloadProgress& p = *m_progress;
    const ULONGLONG now = ::GetTickCount64();
    if (bytes > static_cast<ULONGLONG>(::InterlockedCompareExchange64(&p.bytes, 0, 0)))
        ::InterlockedExchange64(&p.bytes, static_cast<LONG64>(bytes));
    if (::InterlockedCompareExchange(&p.abandoned, 0, 0) || now >= p.deadline || bytes > p.maxBytes)
        m_ended = true;
    else
        ::InterlockedExchange64(&p.lastProgress, static_cast<LONG64>(now));
    return !m_ended;
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

STDMETHODIMP CDownloadWatch::OnStartBinding(DWORD, IBinding*)
{
    return Continue(0) ? S_OK : E_ABORT;
}

STDMETHODIMP CDownloadWatch::GetPriority(LONG*)
{
    return E_NOTIMPL;
}

STDMETHODIMP CDownloadWatch::OnLowResource(DWORD)
{
    return S_OK;
}

STDMETHODIMP CDownloadWatch::OnProgress(ULONG progress, ULONG, ULONG, LPCWSTR)
{
    return Continue(progress) ? S_OK : E_ABORT;
}

STDMETHODIMP CDownloadWatch::OnStopBinding(HRESULT, LPCWSTR)
{
    return S_OK;
}

STDMETHODIMP CDownloadWatch::GetBindInfo(DWORD* bindFlags, BINDINFO*)
{
    // A refresh must see what the server has now, not a copy from the cache.
    if (bindFlags)
        *bindFlags |= BINDF_GETNEWESTVERSION;
    return S_OK;
}

STDMETHODIMP CDownloadWatch::OnDataAvailable(DWORD, DWORD size, FORMATETC*, STGMEDIUM*)
{
    return Continue(size) ? S_OK : E_ABORT;
}

STDMETHODIMP CDownloadWatch::OnObjectAvailable(REFIID, IUnknown*)
{
    return S_OK;
}

STDMETHODIMP CDownloadWatch::BeginningTransaction(LPCWSTR, LPCWSTR, DWORD, LPWSTR* additionalHeaders)
{
    if (additionalHeaders)
        *additionalHeaders = nullptr;
    return Continue(0) ? S_OK : E_ABORT;
}

STDMETHODIMP CDownloadWatch::OnResponse(DWORD status, LPCWSTR, LPCWSTR, LPWSTR* additionalRequestHeaders)
{
    if (additionalRequestHeaders)
        *additionalRequestHeaders = nullptr;
    m_httpStatus = status;
    return Continue(0) ? S_OK : E_ABORT;
}

#include "tests/driver/CDragSource.h"

#include <shlobj.h>

#include <cstring>

namespace {

FORMATETC TextFormat()
{
    return {CF_TEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
}

} // namespace

CDragSource::CDragSource(const std::string& text, bool terminated) : m_text(text), m_terminated(terminated) {}

CDragSource::~CDragSource() = default;

HRESULT CDragSource::drag(DWORD& effect)
{
    effect = DROPEFFECT_NONE;
    return DoDragDrop(this, this, DROPEFFECT_COPY | DROPEFFECT_LINK, &effect);
}

STDMETHODIMP CDragSource::QueryInterface(REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDataObject))
        *object = static_cast<IDataObject*>(this);
    else if (IsEqualIID(iid, IID_IDropSource))
        *object = static_cast<IDropSource*>(this);
    else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) CDragSource::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&m_references));
}

// The object lives on the driver's stack for the length of one drag.
STDMETHODIMP_(ULONG) CDragSource::Release()
{
    return static_cast<ULONG>(InterlockedDecrement(&m_references));
}

STDMETHODIMP CDragSource::GetData(FORMATETC* format, STGMEDIUM* medium)
{
    if (!format || !medium)
        return E_INVALIDARG;
    HRESULT usable = QueryGetData(format);
    if (usable != S_OK)
        return usable;
    const size_t size = m_text.size() + (m_terminated ? 1 : 0);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size ? size : 1);
    if (!block)
        return E_OUTOFMEMORY;
    char* data = static_cast<char*>(GlobalLock(block));
    std::memcpy(data, m_text.c_str(), size);
    GlobalUnlock(block);
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = block;
    medium->pUnkForRelease = nullptr;
    return S_OK;
}

STDMETHODIMP CDragSource::QueryGetData(FORMATETC* format)
{
    if (!format)
        return E_INVALIDARG;
    if (format->cfFormat != CF_TEXT)
        return DV_E_FORMATETC;
    if (!(format->tymed & TYMED_HGLOBAL))
        return DV_E_TYMED;
    return S_OK;
}

STDMETHODIMP CDragSource::GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out)
{
    if (out)
        out->ptd = nullptr;
    return DATA_S_SAMEFORMATETC;
}

STDMETHODIMP CDragSource::EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats)
{
    if (direction != DATADIR_GET)
        return E_NOTIMPL;
    FORMATETC text = TextFormat();
    return SHCreateStdEnumFmtEtc(1, &text, formats);
}

STDMETHODIMP CDragSource::QueryContinueDrag(BOOL escapePressed, DWORD keyState)
{
    if (escapePressed)
        return DRAGDROP_S_CANCEL;
    if (!(keyState & MK_LBUTTON))
        return DRAGDROP_S_DROP;
    return S_OK;
}

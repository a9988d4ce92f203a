#include "tests/driver/CDragSource.h"

#include <shlobj.h>

#include <cstring>

CDragSource::CDragSource(const std::string& text, bool terminated) : m_text(text), m_terminated(terminated) {}

CDragSource::CDragSource(const std::vector<std::string>& files) : m_files(files), m_offersFiles(true) {}

FORMATETC CDragSource::Format() const
{
    return {static_cast<CLIPFORMAT>(m_offersFiles ? CF_HDROP : CF_TEXT), nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
}

HGLOBAL CDragSource::TextBlock() const
{
    const size_t size = m_text.size() + (m_terminated ? 1 : 0);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size ? size : 1);
    if (block) {
        std::memcpy(GlobalLock(block), m_text.c_str(), size);
        GlobalUnlock(block);
    }
    return block;
}

// A DROPFILES header, then the paths, each ended by a NUL, and a NUL after the last.
HGLOBAL CDragSource::FileBlock() const
{
    std::string names;
    for (const std::string& file : m_files)
        names += file + '\0';
    names += '\0';
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + names.size());
    if (block) {
        auto* drop = static_cast<DROPFILES*>(GlobalLock(block));
        drop->pFiles = sizeof(DROPFILES);
        drop->fWide = FALSE;
        std::memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), names.data(), names.size());
        GlobalUnlock(block);
    }
    return block;
}

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
    HGLOBAL block = m_offersFiles ? FileBlock() : TextBlock();
    if (!block)
        return E_OUTOFMEMORY;
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = block;
    medium->pUnkForRelease = nullptr;
    return S_OK;
}

STDMETHODIMP CDragSource::QueryGetData(FORMATETC* format)
{
    if (!format)
        return E_INVALIDARG;
    if (format->cfFormat != Format().cfFormat)
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
    FORMATETC offered = Format();
    return SHCreateStdEnumFmtEtc(1, &offered, formats);
}

STDMETHODIMP CDragSource::QueryContinueDrag(BOOL escapePressed, DWORD keyState)
{
    if (escapePressed)
        return DRAGDROP_S_CANCEL;
    if (!(keyState & MK_LBUTTON))
        return DRAGDROP_S_DROP;
    return S_OK;
}

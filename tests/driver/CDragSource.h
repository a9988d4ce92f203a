#pragma once
#include <ole2.h>

#include <string>
#include <vector>

// A drag of text, as a browser starts one when the user drags a link (the data object offers
// CF_TEXT in global memory), or of files, as a file manager starts one (CF_HDROP). The mouse is
// the user's (in the tests, real X input): the drag starts with the left button held and ends
// where it is let go.
class CDragSource : public IDataObject, public IDropSource
{
public:
    // terminated: whether the text block ends with a NUL (a block without one is exactly as
    // long as the text).
    CDragSource(const std::string& text, bool terminated);
    // The files, by their full paths.
    explicit CDragSource(const std::vector<std::string>& files);
    ~CDragSource();

    // Runs the drag; the result is DoDragDrop's, the effect what the target answered.
    HRESULT drag(DWORD& effect);

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    // IDataObject
    STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override;
    STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryGetData(FORMATETC* format) override;
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override;
    STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) override;
    STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
    STDMETHODIMP DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }
    // IDropSource
    STDMETHODIMP QueryContinueDrag(BOOL escapePressed, DWORD keyState) override;
    STDMETHODIMP GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }

private:
    FORMATETC Format() const;
    HGLOBAL TextBlock() const;
    HGLOBAL FileBlock() const;

    std::string m_text;
    bool m_terminated = true;
    std::vector<std::string> m_files;
    bool m_offersFiles = false;
    LONG m_references = 1;
};

#include "settings/COleListBoxDropTarget.h"

#include "fw/CStgMedium.h"
#include "settings/CDlgSettings.h"
#include "settings/FeedListRules.h"

namespace {

// Over the list box, its border included, the drag may copy; anywhere else in the dialog not.
DROPEFFECT EffectAt(CWnd* window, POINT point)
{
    CDlgSettings* dialog = static_cast<CDlgSettings*>(window);
    const RECT list = dialog->m_feedList.GetWindowRect();
    ::ClientToScreen(dialog->m_hWnd, &point);
    return ::PtInRect(&list, point) ? DROPEFFECT_COPY : DROPEFFECT_NONE;
}

} // namespace

DROPEFFECT COleListBoxDropTarget::OnDragEnter(CWnd* window, IDataObject*, DWORD, POINT point)
{
    return EffectAt(window, point);
}

DROPEFFECT COleListBoxDropTarget::OnDragOver(CWnd* window, IDataObject*, DWORD, POINT point)
{
    return EffectAt(window, point);
}

// Files dropped from a file manager, else the dropped text, go to the dialog, which adds them
// to the end of the list; new items are not selected and the buttons keep their state.
BOOL COleListBoxDropTarget::OnDrop(CWnd* window, IDataObject* data, DROPEFFECT, POINT)
{
    if (!data)
        return FALSE;
    CDlgSettings* dialog = static_cast<CDlgSettings*>(window);
    std::vector<CString> files;
    if (GetFiles(data, files))
        return dialog->TakeDroppedFiles(files);
    FORMATETC format = {CF_TEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    CStgMedium medium;
    if (FAILED(data->GetData(&format, &medium)) || medium.tymed != TYMED_HGLOBAL || !medium.hGlobal)
        return FALSE;
    const char* block = static_cast<const char*>(::GlobalLock(medium.hGlobal));
    if (!block)
        return FALSE;
    const CString text = DroppedText(block, ::GlobalSize(medium.hGlobal));
    ::GlobalUnlock(medium.hGlobal);
    return dialog->TakeDroppedLink(text);
}

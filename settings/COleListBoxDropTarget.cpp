#include "settings/COleListBoxDropTarget.h"

#include "fw/CGlobalLock.h"
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

// The dropped text, else the files of a file manager's drop, go to the dialog, which adds them
// to the end of the list; new items are not selected and the buttons keep their state. Text
// comes first: a browser may offer a link as a shortcut file as well, a file manager offers no
// text.
BOOL COleListBoxDropTarget::OnDrop(CWnd* window, IDataObject* data, DROPEFFECT, POINT)
{
    if (!data)
        return FALSE;
    CDlgSettings* dialog = static_cast<CDlgSettings*>(window);
    FORMATETC format = {CF_TEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    CStgMedium medium;
    if (SUCCEEDED(data->GetData(&format, &medium)) && medium.tymed == TYMED_HGLOBAL && medium.hGlobal) {
        CString text;
        {
            const CGlobalLock block(medium.hGlobal);
            if (!block.Data())
                return FALSE;
            text = DroppedText(static_cast<const char*>(block.Data()), block.Size());
        }
        return dialog->TakeDroppedLink(text);
    }
    std::vector<CString> files;
    return GetFiles(data, files) && dialog->TakeDroppedFiles(files);
}

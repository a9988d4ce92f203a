// Takes links and files dropped on the "My Feeds" list of the settings dialog: registered on
// the dialog window, it accepts a drop only over the list box and hands what was dropped to the
// dialog.
#pragma once
#include "fw/COleDropTarget.h"

class COleListBoxDropTarget : public COleDropTarget {
protected:
    DROPEFFECT OnDragEnter(CWnd* window, IDataObject* data, DWORD keyState, POINT point) override;
    DROPEFFECT OnDragOver(CWnd* window, IDataObject* data, DWORD keyState, POINT point) override;
    BOOL OnDrop(CWnd* window, IDataObject* data, DROPEFFECT effect, POINT point) override;
};

// A window's drop target for OLE drag and drop.
//
// Register makes the object the target of a window; the handlers then receive the window's
// object, the offered data, and the cursor in the window's client coordinates. The
// registration is revoked when the window is destroyed, or at the latest with the object.
// The object lives inside its owner (for instance as a dialog's member): OLE's references do
// not decide its life.
#pragma once
#include <ole2.h>

#include <vector>

#include "fw/CWnd.h"

using DROPEFFECT = DWORD;

class COleDropTarget : public IDropTarget {
public:
    COleDropTarget() = default;
    virtual ~COleDropTarget();
    COleDropTarget(const COleDropTarget&) = delete;
    COleDropTarget& operator=(const COleDropTarget&) = delete;

    // False when the window cannot take drops (OLE not initialised, or already registered).
    BOOL Register(CWnd* window);
    void Revoke();

    // The answer of a handler, reconciled with what the drag source allows: an allowed answer
    // stands; a copy becomes a move, else a link, when only those are allowed; else none.
    static DROPEFFECT Reconcile(DROPEFFECT answer, DROPEFFECT allowed);

    // For the drop handler: the paths of the files the offered data carries (CF_HDROP, as a
    // file manager offers them). False when it carries no files.
    static bool GetFiles(IDataObject* data, std::vector<CString>& files);

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    // IDropTarget
    STDMETHODIMP DragEnter(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) override;
    STDMETHODIMP DragOver(DWORD keyState, POINTL point, DWORD* effect) override;
    STDMETHODIMP DragLeave() override;
    STDMETHODIMP Drop(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) override;

protected:
    // The handlers; the defaults refuse every drop.
    virtual DROPEFFECT OnDragEnter(CWnd* window, IDataObject* data, DWORD keyState, POINT point);
    virtual DROPEFFECT OnDragOver(CWnd* window, IDataObject* data, DWORD keyState, POINT point);
    virtual void OnDragLeave(CWnd* window);
    virtual BOOL OnDrop(CWnd* window, IDataObject* data, DROPEFFECT effect, POINT point);

private:
    CWnd* m_window = nullptr;
    HWND m_registeredWnd = nullptr;
    IDataObject* m_dragData = nullptr; // held between enter and leave or drop
    ULONG m_references = 0;

    POINT ClientPoint(POINTL screen) const;
    void ReleaseDragData();
    static LRESULT CALLBACK WatchWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                        DWORD_PTR self);
};

#include "fw/COleDropTarget.h"

#include <commctrl.h>
#include <shellapi.h>

#include "fw/CStgMedium.h"

namespace {

const UINT_PTR kWatchId = 0x0D70;

} // namespace

COleDropTarget::~COleDropTarget()
{
    Revoke();
    ReleaseDragData();
}

BOOL COleDropTarget::Register(CWnd* window)
{
    if (m_registeredWnd || !window || !window->m_hWnd)
        return FALSE;
    if (FAILED(::RegisterDragDrop(window->m_hWnd, this)))
        return FALSE;
    ::CoLockObjectExternal(this, TRUE, FALSE);
    m_window = window;
    m_registeredWnd = window->m_hWnd;
    ::SetWindowSubclass(m_registeredWnd, &COleDropTarget::WatchWindow, kWatchId, reinterpret_cast<DWORD_PTR>(this));
    return TRUE;
}

void COleDropTarget::Revoke()
{
    if (!m_registeredWnd)
        return;
    ::RemoveWindowSubclass(m_registeredWnd, &COleDropTarget::WatchWindow, kWatchId);
    ::RevokeDragDrop(m_registeredWnd);
    ::CoLockObjectExternal(this, FALSE, TRUE);
    m_registeredWnd = nullptr;
    m_window = nullptr;
    ReleaseDragData();
}

// The registration ends with the window it was made for.
LRESULT CALLBACK COleDropTarget::WatchWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                             DWORD_PTR self)
{
    if (message == WM_DESTROY)
        reinterpret_cast<COleDropTarget*>(self)->Revoke();
    return ::DefSubclassProc(window, message, wParam, lParam);
}

DROPEFFECT COleDropTarget::Reconcile(DROPEFFECT answer, DROPEFFECT allowed)
{
    if (answer == DROPEFFECT_NONE || (answer & allowed) == answer)
        return answer;
    if (answer & DROPEFFECT_COPY) {
        if (allowed & DROPEFFECT_MOVE)
            return DROPEFFECT_MOVE;
        if (allowed & DROPEFFECT_LINK)
            return DROPEFFECT_LINK;
    }
    return DROPEFFECT_NONE;
}

bool COleDropTarget::GetFiles(IDataObject* data, std::vector<CString>& files)
{
    FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    CStgMedium medium;
    if (!data || FAILED(data->GetData(&format, &medium)) || medium.tymed != TYMED_HGLOBAL || !medium.hGlobal)
        return false;
    HDROP drop = static_cast<HDROP>(medium.hGlobal);
    const UINT count = ::DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        const UINT length = ::DragQueryFileA(drop, i, nullptr, 0);
        if (length == 0)
            continue;
        CString path;
        const UINT copied = ::DragQueryFileA(drop, i, path.GetBufferSetLength(static_cast<int>(length)), length + 1);
        path.ReleaseBuffer(static_cast<int>(copied <= length ? copied : length));
        files.push_back(path);
    }
    return true;
}

STDMETHODIMP COleDropTarget::QueryInterface(REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDropTarget)) {
        *object = static_cast<IDropTarget*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) COleDropTarget::AddRef()
{
    return ++m_references;
}

STDMETHODIMP_(ULONG) COleDropTarget::Release()
{
    return m_references > 0 ? --m_references : 0;
}

STDMETHODIMP COleDropTarget::DragEnter(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect)
{
    if (!effect)
        return E_INVALIDARG;
    ReleaseDragData();
    m_dragData = data;
    if (m_dragData)
        m_dragData->AddRef();
    const DROPEFFECT answer = m_window ? OnDragEnter(m_window, data, keyState, ClientPoint(point)) : DROPEFFECT_NONE;
    *effect = Reconcile(answer, *effect);
    return S_OK;
}

STDMETHODIMP COleDropTarget::DragOver(DWORD keyState, POINTL point, DWORD* effect)
{
    if (!effect)
        return E_INVALIDARG;
    const DROPEFFECT answer =
        m_window ? OnDragOver(m_window, m_dragData, keyState, ClientPoint(point)) : DROPEFFECT_NONE;
    *effect = Reconcile(answer, *effect);
    return S_OK;
}

STDMETHODIMP COleDropTarget::DragLeave()
{
    if (m_window)
        OnDragLeave(m_window);
    ReleaseDragData();
    return S_OK;
}

// The drop is asked once more whether it may happen here; when not, it is a leave.
STDMETHODIMP COleDropTarget::Drop(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect)
{
    if (!effect)
        return E_INVALIDARG;
    const POINT client = ClientPoint(point);
    const DROPEFFECT allowed = *effect;
    DROPEFFECT answer = DROPEFFECT_NONE;
    if (m_window)
        answer = Reconcile(OnDragOver(m_window, data, keyState, client), allowed);
    if (answer == DROPEFFECT_NONE) {
        if (m_window)
            OnDragLeave(m_window);
    } else if (!OnDrop(m_window, data, answer, client)) {
        answer = DROPEFFECT_NONE;
    }
    *effect = answer;
    ReleaseDragData();
    return S_OK;
}

DROPEFFECT COleDropTarget::OnDragEnter(CWnd*, IDataObject*, DWORD, POINT)
{
    return DROPEFFECT_NONE;
}

DROPEFFECT COleDropTarget::OnDragOver(CWnd*, IDataObject*, DWORD, POINT)
{
    return DROPEFFECT_NONE;
}

void COleDropTarget::OnDragLeave(CWnd*) {}

BOOL COleDropTarget::OnDrop(CWnd*, IDataObject*, DROPEFFECT, POINT)
{
    return FALSE;
}

POINT COleDropTarget::ClientPoint(POINTL screen) const
{
    POINT point = {screen.x, screen.y};
    if (m_registeredWnd)
        ::ScreenToClient(m_registeredWnd, &point);
    return point;
}

void COleDropTarget::ReleaseDragData()
{
    if (m_dragData)
        m_dragData->Release();
    m_dragData = nullptr;
}

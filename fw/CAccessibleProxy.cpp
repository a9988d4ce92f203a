#include "fw/CAccessibleProxy.h"

// Each IAccessible question either gets RPC_E_DISCONNECTED once the control is gone, or is
// passed on to the standard object.
#define PASS_ON(call)                              \
    do {                                           \
        if (!IsConnected() || !Standard())         \
            return RPC_E_DISCONNECTED;             \
        return Standard()->call;                   \
    } while (0)

// __uuidof(IAccessible), never mingw's IID_IAccessible: liboleacc.a resolves that name to an
// import thunk, not to the interface's GUID.
CAccessibleProxy::CAccessibleProxy(HWND control) : m_control(control)
{
    ::CreateStdAccessibleObject(control, OBJID_CLIENT, __uuidof(IAccessible),
                                reinterpret_cast<void**>(m_standard.Receive()));
}

bool CAccessibleProxy::OnControlMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message) {
    case WM_GETOBJECT:
        return AnswerGetObject(wParam, lParam, result);
    case WM_DESTROY:
        Disconnect();
        return false;
    default:
        return false;
    }
}

bool CAccessibleProxy::AnswerGetObject(WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    // lParam holds a 32-bit object id, sign-extended or not.
    if (static_cast<LONG>(lParam) != OBJID_CLIENT || !IsConnected())
        return false;
    result = ::LresultFromObject(__uuidof(IAccessible), wParam, static_cast<IAccessible*>(this));
    return true;
}

void CAccessibleProxy::Disconnect()
{
    if (!IsConnected())
        return;
    m_control = nullptr;
    m_standard.Reset();
    ::CoDisconnectObject(static_cast<IAccessible*>(this), 0);
}

STDMETHODIMP CAccessibleProxy::QueryInterface(REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, __uuidof(IAccessible))) {
        *object = static_cast<IAccessible*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CAccessibleProxy::AddRef()
{
    return static_cast<ULONG>(::InterlockedIncrement(&m_refs));
}

STDMETHODIMP_(ULONG) CAccessibleProxy::Release()
{
    const LONG refs = ::InterlockedDecrement(&m_refs);
    if (refs == 0)
        delete this;
    return static_cast<ULONG>(refs);
}

STDMETHODIMP CAccessibleProxy::GetTypeInfoCount(UINT* count)
{
    if (!count)
        return E_POINTER;
    *count = 0;
    return S_OK;
}

STDMETHODIMP CAccessibleProxy::GetTypeInfo(UINT, LCID, ITypeInfo** info)
{
    if (info)
        *info = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP CAccessibleProxy::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*)
{
    return E_NOTIMPL;
}

STDMETHODIMP CAccessibleProxy::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*)
{
    return E_NOTIMPL;
}

STDMETHODIMP CAccessibleProxy::get_accParent(IDispatch** parent)
{
    PASS_ON(get_accParent(parent));
}

STDMETHODIMP CAccessibleProxy::get_accChildCount(long* count)
{
    PASS_ON(get_accChildCount(count));
}

STDMETHODIMP CAccessibleProxy::get_accChild(VARIANT child, IDispatch** object)
{
    PASS_ON(get_accChild(child, object));
}

STDMETHODIMP CAccessibleProxy::get_accName(VARIANT child, BSTR* name)
{
    PASS_ON(get_accName(child, name));
}

STDMETHODIMP CAccessibleProxy::get_accValue(VARIANT child, BSTR* value)
{
    PASS_ON(get_accValue(child, value));
}

STDMETHODIMP CAccessibleProxy::get_accDescription(VARIANT child, BSTR* description)
{
    PASS_ON(get_accDescription(child, description));
}

STDMETHODIMP CAccessibleProxy::get_accRole(VARIANT child, VARIANT* role)
{
    PASS_ON(get_accRole(child, role));
}

STDMETHODIMP CAccessibleProxy::get_accState(VARIANT child, VARIANT* state)
{
    PASS_ON(get_accState(child, state));
}

STDMETHODIMP CAccessibleProxy::get_accHelp(VARIANT child, BSTR* help)
{
    PASS_ON(get_accHelp(child, help));
}

STDMETHODIMP CAccessibleProxy::get_accHelpTopic(BSTR* file, VARIANT child, long* topic)
{
    PASS_ON(get_accHelpTopic(file, child, topic));
}

STDMETHODIMP CAccessibleProxy::get_accKeyboardShortcut(VARIANT child, BSTR* shortcut)
{
    PASS_ON(get_accKeyboardShortcut(child, shortcut));
}

STDMETHODIMP CAccessibleProxy::get_accFocus(VARIANT* child)
{
    PASS_ON(get_accFocus(child));
}

STDMETHODIMP CAccessibleProxy::get_accSelection(VARIANT* children)
{
    PASS_ON(get_accSelection(children));
}

STDMETHODIMP CAccessibleProxy::get_accDefaultAction(VARIANT child, BSTR* action)
{
    PASS_ON(get_accDefaultAction(child, action));
}

STDMETHODIMP CAccessibleProxy::accSelect(long flags, VARIANT child)
{
    PASS_ON(accSelect(flags, child));
}

STDMETHODIMP CAccessibleProxy::accLocation(long* left, long* top, long* width, long* height, VARIANT child)
{
    PASS_ON(accLocation(left, top, width, height, child));
}

STDMETHODIMP CAccessibleProxy::accNavigate(long direction, VARIANT start, VARIANT* end)
{
    PASS_ON(accNavigate(direction, start, end));
}

STDMETHODIMP CAccessibleProxy::accHitTest(long x, long y, VARIANT* child)
{
    PASS_ON(accHitTest(x, y, child));
}

STDMETHODIMP CAccessibleProxy::accDoDefaultAction(VARIANT child)
{
    PASS_ON(accDoDefaultAction(child));
}

STDMETHODIMP CAccessibleProxy::put_accName(VARIANT child, BSTR name)
{
    PASS_ON(put_accName(child, name));
}

STDMETHODIMP CAccessibleProxy::put_accValue(VARIANT child, BSTR value)
{
    PASS_ON(put_accValue(child, value));
}

HRESULT CAccessibleProxy::Answer(const wchar_t* text, BSTR* result)
{
    if (!result)
        return E_POINTER;
    *result = ::SysAllocString(text);
    return *result ? S_OK : E_OUTOFMEMORY;
}

HRESULT CAccessibleProxy::NoText(BSTR* result)
{
    if (result)
        *result = nullptr;
    return S_FALSE;
}

#include "fw/CAccessibleName.h"

#include <utility>

CAccessibleName::CAccessibleName(HWND control, std::wstring name, long role)
    : CAccessibleProxy(control), m_name(std::move(name)), m_role(role)
{
}

CAccessibleName* CAccessibleName::Create(HWND control, std::wstring name, long role)
{
    return new CAccessibleName(control, std::move(name), role);
}

void CAccessibleName::SetName(std::wstring name)
{
    if (name == m_name)
        return;
    m_name = std::move(name);
    if (IsConnected())
        ::NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, Control(), OBJID_CLIENT, CHILDID_SELF);
}

STDMETHODIMP CAccessibleName::get_accName(VARIANT child, BSTR* name)
{
    if (!IsConnected())
        return RPC_E_DISCONNECTED;
    if (!IsSelf(child) || m_name.empty())
        return CAccessibleProxy::get_accName(child, name);
    return Answer(m_name.c_str(), name);
}

STDMETHODIMP CAccessibleName::get_accRole(VARIANT child, VARIANT* role)
{
    if (!IsConnected())
        return RPC_E_DISCONNECTED;
    if (!IsSelf(child) || m_role == 0)
        return CAccessibleProxy::get_accRole(child, role);
    if (!role)
        return E_POINTER;
    role->vt = VT_I4;
    role->lVal = m_role;
    return S_OK;
}

STDMETHODIMP CAccessibleName::get_accDefaultAction(VARIANT child, BSTR* action)
{
    if (!IsConnected())
        return RPC_E_DISCONNECTED;
    if (!IsSelf(child) || !m_action.target)
        return CAccessibleProxy::get_accDefaultAction(child, action);
    return Answer(m_action.name.c_str(), action);
}

// Posted, not done here: the action may open a menu or a browser, and the screen reader waits
// for this call to return.
STDMETHODIMP CAccessibleName::accDoDefaultAction(VARIANT child)
{
    if (!IsConnected())
        return RPC_E_DISCONNECTED;
    if (!IsSelf(child) || !m_action.target)
        return CAccessibleProxy::accDoDefaultAction(child);
    return ::PostMessageW(m_action.target, m_action.message, m_action.wParam, m_action.lParam) ? S_OK : E_FAIL;
}

#include "fw/CAccessibleLinks.h"

#include <utility>

namespace {

void SetNumber(VARIANT* variant, long id)
{
    variant->vt = VT_I4;
    variant->lVal = id;
}

} // namespace

// The questions a link answers itself; the control itself (CHILDID_SELF) is the standard
// object's. Each of these begins with the same three cases.
#define LINK_OR_SELF(child, passOn)               \
    int link = -1;                                \
    bool self = false;                            \
    if (HRESULT refused = Check(child, link, self)) { \
        if (self)                                 \
            return passOn;                        \
        return refused;                           \
    }

CAccessibleLinks::CAccessibleLinks(HWND control, HWND owner, UINT message)
    : CAccessibleProxy(control), m_owner(owner), m_message(message)
{
}

CAccessibleLinks* CAccessibleLinks::Create(HWND control, HWND owner, UINT message)
{
    return new CAccessibleLinks(control, owner, message);
}

void CAccessibleLinks::SetLinks(std::vector<Link> links)
{
    m_links = std::move(links);
    if (m_focused >= static_cast<int>(m_links.size()))
        m_focused = -1;
    if (IsConnected())
        ::NotifyWinEvent(EVENT_OBJECT_REORDER, Control(), OBJID_CLIENT, CHILDID_SELF);
}

void CAccessibleLinks::SetFocusedLink(int index)
{
    if (index < -1 || index >= static_cast<int>(m_links.size()))
        index = -1;
    if (index == m_focused)
        return;
    m_focused = index;
    if (IsConnected() && index >= 0)
        ::NotifyWinEvent(EVENT_OBJECT_FOCUS, Control(), OBJID_CLIENT, index + 1);
}

int CAccessibleLinks::LinkOf(const VARIANT& child) const
{
    if (child.vt != VT_I4 || child.lVal < 1 || child.lVal > static_cast<long>(m_links.size()))
        return -1;
    return static_cast<int>(child.lVal - 1);
}

HRESULT CAccessibleLinks::Check(const VARIANT& child, int& link, bool& self) const
{
    if (!IsConnected())
        return RPC_E_DISCONNECTED;
    self = IsSelf(child);
    link = LinkOf(child);
    if (self || link < 0)
        return E_INVALIDARG;
    return S_OK;
}

STDMETHODIMP CAccessibleLinks::get_accChildCount(long* count)
{
    if (!IsConnected())
        return RPC_E_DISCONNECTED;
    if (!count)
        return E_POINTER;
    *count = static_cast<long>(m_links.size());
    return S_OK;
}

// The links are simple elements of this object, not objects of their own.
STDMETHODIMP CAccessibleLinks::get_accChild(VARIANT child, IDispatch** object)
{
    LINK_OR_SELF(child, CAccessibleProxy::get_accChild(child, object));
    if (!object)
        return E_POINTER;
    *object = nullptr;
    return S_FALSE;
}

STDMETHODIMP CAccessibleLinks::get_accName(VARIANT child, BSTR* name)
{
    LINK_OR_SELF(child, CAccessibleProxy::get_accName(child, name));
    return Answer(m_links[link].name.c_str(), name);
}

STDMETHODIMP CAccessibleLinks::get_accValue(VARIANT child, BSTR* value)
{
    LINK_OR_SELF(child, CAccessibleProxy::get_accValue(child, value));
    return NoText(value);
}

STDMETHODIMP CAccessibleLinks::get_accDescription(VARIANT child, BSTR* description)
{
    LINK_OR_SELF(child, CAccessibleProxy::get_accDescription(child, description));
    return NoText(description);
}

STDMETHODIMP CAccessibleLinks::get_accRole(VARIANT child, VARIANT* role)
{
    LINK_OR_SELF(child, CAccessibleProxy::get_accRole(child, role));
    if (!role)
        return E_POINTER;
    SetNumber(role, ROLE_SYSTEM_LINK);
    return S_OK;
}

STDMETHODIMP CAccessibleLinks::get_accState(VARIANT child, VARIANT* state)
{
    LINK_OR_SELF(child, CAccessibleProxy::get_accState(child, state));
    if (!state)
        return E_POINTER;
    long flags = STATE_SYSTEM_LINKED | STATE_SYSTEM_FOCUSABLE;
    if (link == m_focused)
        flags |= STATE_SYSTEM_FOCUSED;
    if (!::IsWindowVisible(Control()))
        flags |= STATE_SYSTEM_INVISIBLE;
    SetNumber(state, flags);
    return S_OK;
}

STDMETHODIMP CAccessibleLinks::get_accHelp(VARIANT child, BSTR* help)
{
    LINK_OR_SELF(child, CAccessibleProxy::get_accHelp(child, help));
    return NoText(help);
}

STDMETHODIMP CAccessibleLinks::get_accKeyboardShortcut(VARIANT child, BSTR* shortcut)
{
    LINK_OR_SELF(child, CAccessibleProxy::get_accKeyboardShortcut(child, shortcut));
    return NoText(shortcut);
}

STDMETHODIMP CAccessibleLinks::get_accFocus(VARIANT* child)
{
    if (!IsConnected())
        return RPC_E_DISCONNECTED;
    if (m_focused < 0)
        return CAccessibleProxy::get_accFocus(child);
    if (!child)
        return E_POINTER;
    SetNumber(child, m_focused + 1);
    return S_OK;
}

STDMETHODIMP CAccessibleLinks::get_accDefaultAction(VARIANT child, BSTR* action)
{
    LINK_OR_SELF(child, CAccessibleProxy::get_accDefaultAction(child, action));
    return Answer(L"Jump", action);
}

STDMETHODIMP CAccessibleLinks::accSelect(long flags, VARIANT child)
{
    LINK_OR_SELF(child, CAccessibleProxy::accSelect(flags, child));
    return DISP_E_MEMBERNOTFOUND;
}

STDMETHODIMP CAccessibleLinks::accLocation(long* left, long* top, long* width, long* height, VARIANT child)
{
    LINK_OR_SELF(child, CAccessibleProxy::accLocation(left, top, width, height, child));
    if (!left || !top || !width || !height)
        return E_POINTER;
    RECT bar = {};
    ::GetWindowRect(Control(), &bar);
    *left = bar.left + m_links[link].begin;
    *top = bar.top;
    *width = m_links[link].end - m_links[link].begin;
    *height = bar.bottom - bar.top;
    return S_OK;
}

STDMETHODIMP CAccessibleLinks::accNavigate(long direction, VARIANT start, VARIANT* end)
{
    if (!IsConnected())
        return RPC_E_DISCONNECTED;
    if (!end)
        return E_POINTER;
    const long count = static_cast<long>(m_links.size());
    long target = 0;
    if (IsSelf(start)) {
        if (direction == NAVDIR_FIRSTCHILD)
            target = 1;
        else if (direction == NAVDIR_LASTCHILD)
            target = count;
        else
            return CAccessibleProxy::accNavigate(direction, start, end);
    } else {
        const int link = LinkOf(start);
        if (link < 0)
            return E_INVALIDARG;
        if (direction == NAVDIR_NEXT || direction == NAVDIR_RIGHT)
            target = link + 2;
        else if (direction == NAVDIR_PREVIOUS || direction == NAVDIR_LEFT)
            target = link;
        else if (direction != NAVDIR_UP && direction != NAVDIR_DOWN)
            return E_INVALIDARG;
    }
    if (target < 1 || target > count) {
        end->vt = VT_EMPTY;
        return S_FALSE;
    }
    SetNumber(end, target);
    return S_OK;
}

STDMETHODIMP CAccessibleLinks::accHitTest(long x, long y, VARIANT* child)
{
    if (!IsConnected())
        return RPC_E_DISCONNECTED;
    if (!child)
        return E_POINTER;
    RECT bar = {};
    ::GetWindowRect(Control(), &bar);
    const POINT point = {x, y};
    if (!::PtInRect(&bar, point))
        return CAccessibleProxy::accHitTest(x, y, child);
    const long offset = x - bar.left;
    for (size_t i = 0; i < m_links.size(); ++i) {
        if (offset >= m_links[i].begin && offset < m_links[i].end) {
            SetNumber(child, static_cast<long>(i) + 1);
            return S_OK;
        }
    }
    SetNumber(child, CHILDID_SELF);
    return S_OK;
}

// Posted, not done here: the step may wait on the network, and the screen reader waits for
// this call to return.
STDMETHODIMP CAccessibleLinks::accDoDefaultAction(VARIANT child)
{
    LINK_OR_SELF(child, CAccessibleProxy::accDoDefaultAction(child));
    return ::PostMessageW(m_owner, m_message, static_cast<WPARAM>(link), 0) ? S_OK : E_FAIL;
}

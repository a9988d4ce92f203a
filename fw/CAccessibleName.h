// The accessible object of a standard control whose own text does not say what it is: a
// picture that opens a menu, a read-only view whose name is the title of what it shows. The
// name (and, where given, the role and a default action) are this object's; everything else is
// the standard object's (CAccessibleProxy). A screen reader reads "NAME ROLE".
#pragma once
#include <string>

#include "fw/CAccessibleProxy.h"

class CAccessibleName : public CAccessibleProxy {
public:
    // What a screen reader's "do the default action" does: post message to target.
    struct Action {
        std::wstring name; // the verb a reader may offer ("Open")
        HWND target = nullptr;
        UINT message = 0;
        WPARAM wParam = 0;
        LPARAM lParam = 0;
    };

    // role 0 keeps the standard object's role (ROLE_SYSTEM_... otherwise). Created with one
    // reference, which the creator holds (CComPtr) and releases.
    static CAccessibleName* Create(HWND control, std::wstring name, long role = 0);

    // A new name, announced to screen readers as a change of name. An empty name gives the
    // standard object's again.
    void SetName(std::wstring name);
    void SetDefaultAction(Action action) { m_action = std::move(action); }

    STDMETHODIMP get_accName(VARIANT child, BSTR* name) override;
    STDMETHODIMP get_accRole(VARIANT child, VARIANT* role) override;
    STDMETHODIMP get_accDefaultAction(VARIANT child, BSTR* action) override;
    STDMETHODIMP accDoDefaultAction(VARIANT child) override;

private:
    CAccessibleName(HWND control, std::wstring name, long role);

    std::wstring m_name;
    long m_role;
    Action m_action;
};

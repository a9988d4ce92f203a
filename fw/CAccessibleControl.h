// A control (subclassed) whose accessible object is one of ours: it answers WM_GETOBJECT for its
// client area with that object, leaves everything else to the control, and disconnects the
// object when the control is destroyed. Bind it to a dialog item with SubclassDlgItem (after
// DDX_Control, if the item is also bound), then give it its object.
#pragma once
#include "fw/CAccessibleProxy.h"
#include "fw/CComPtr.h"
#include "fw/CWnd.h"

class CAccessibleControl : public CWnd {
public:
    ~CAccessibleControl() override;

    void SetAccessible(CComPtr<CAccessibleProxy> accessible);
    CAccessibleProxy* Accessible() const { return m_accessible.Get(); }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    CComPtr<CAccessibleProxy> m_accessible;
};

// A static control (subclassed) whose accessible object is one of ours: it answers WM_GETOBJECT
// for its client area with that object, leaves everything else to the control, and disconnects
// the object when the control is destroyed. Bind it to a dialog item with SubclassDlgItem (after
// DDX_Control, if the item is also bound), then give it its object. Another subclassed control
// (a rich edit) answers the same way from its own WindowProc, through AnswerGetObject.
#pragma once
#include "fw/CAccessibleProxy.h"
#include "fw/CComPtr.h"
#include "fw/CStatic.h"

class CAccessibleStatic : public CStatic {
public:
    ~CAccessibleStatic() override;

    // The control takes a reference of its own; null leaves it to the system's standard object.
    void SetAccessible(CAccessibleProxy* accessible);
    CAccessibleProxy* Accessible() const { return m_accessible.Get(); }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    CComPtr<CAccessibleProxy> m_accessible;
};

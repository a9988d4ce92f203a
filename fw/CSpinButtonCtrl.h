// The common up-down control bound to a dialog item.
#pragma once
#include <commctrl.h>

#include "fw/CWnd.h"

class CSpinButtonCtrl : public CWnd {
public:
    // The control's window class exists only once the common controls have registered it;
    // a dialog whose template holds one calls this before it is created.
    static void RegisterWindowClass()
    {
        INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_UPDOWN_CLASS};
        ::InitCommonControlsEx(&controls);
    }

    void SetRange32(int lower, int upper) { ::SendMessageA(m_hWnd, UDM_SETRANGE32, lower, upper); }
    void GetRange32(int& lower, int& upper) const
    {
        ::SendMessageA(m_hWnd, UDM_GETRANGE32, reinterpret_cast<WPARAM>(&lower), reinterpret_cast<LPARAM>(&upper));
    }
};

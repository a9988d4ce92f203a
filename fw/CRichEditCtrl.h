// A rich edit control; derived classes subclass a dialog item and override WindowProc.
#pragma once
#include "fw/CWnd.h"

class CRichEditCtrl : public CWnd {
public:
    // Loads the rich edit 2.0 library once for the process; it stays loaded.
    static bool LoadLibrary20();
};

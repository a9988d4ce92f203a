// Moves values between a dialog's controls and its members.
#pragma once
#include "fw/CWnd.h"

class CDataExchange {
public:
    CDataExchange(CWnd* dialog, bool saveAndValidate) : m_pDlgWnd(dialog), m_bSaveAndValidate(saveAndValidate) {}

    CWnd* m_pDlgWnd;
    bool m_bSaveAndValidate;
};

// Binds a control of the dialog to a window object, once, when the dialog is set up.
void DDX_Control(CDataExchange* pDX, int id, CWnd& control);

// Moves values between a dialog's controls and its members.
//
// In the saving direction a value the user typed may be refused: the exchange tells the user
// why, puts the focus back into the box with its whole text selected, and stops (Fail throws,
// and the dialog's UpdateData reports the failure).
#pragma once
#include "fw/CWnd.h"

// Thrown by CDataExchange::Fail to stop an exchange after the user was told why.
struct CUserException {};

class CDataExchange {
public:
    CDataExchange(CWnd* dialog, bool saveAndValidate) : m_pDlgWnd(dialog), m_bSaveAndValidate(saveAndValidate) {}

    // The edit box that the following validation is about.
    HWND PrepareEditCtrl(int id);
    [[noreturn]] void Fail();

    CWnd* m_pDlgWnd;
    bool m_bSaveAndValidate;

private:
    HWND m_lastEdit = nullptr;
};

// Binds a control of the dialog to a window object, once, when the dialog is set up.
void DDX_Control(CDataExchange* pDX, int id, CWnd& control);

// An unsigned number in an edit box, read as "%u" reads it; text without a number is refused.
void DDX_Text(CDataExchange* pDX, int id, unsigned& value);
// Refuses a number outside minimum..maximum in the box named last.
void DDV_MinMaxUInt(CDataExchange* pDX, unsigned value, unsigned minimum, unsigned maximum);
// A check box: 0 clear, 1 checked, 2 indeterminate; loading shows any other value as clear.
void DDX_Check(CDataExchange* pDX, int id, int& value);

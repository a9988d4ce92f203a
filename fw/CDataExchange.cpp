#include "fw/CDataExchange.h"

#include "fw/CWinApp.h"
#include "fw/ScanUnsigned.h"

namespace {

const char kNotANumber[] = "Please enter a positive integer.";
const char kOutOfRange[] = "Please enter an integer between %u and %u.";

} // namespace

HWND CDataExchange::PrepareEditCtrl(int id)
{
    m_lastEdit = m_pDlgWnd->GetDlgItem(id);
    return m_lastEdit;
}

void CDataExchange::Fail()
{
    if (m_lastEdit) {
        ::SetFocus(m_lastEdit);
        ::SendMessageA(m_lastEdit, EM_SETSEL, 0, -1);
    }
    throw CUserException();
}

void DDX_Control(CDataExchange* pDX, int id, CWnd& control)
{
    if (!control.m_hWnd)
        control.m_hWnd = pDX->m_pDlgWnd->GetDlgItem(id);
}

void DDX_Text(CDataExchange* pDX, int id, unsigned& value)
{
    HWND edit = pDX->PrepareEditCtrl(id);
    if (!pDX->m_bSaveAndValidate) {
        CString text;
        text.Format("%u", value);
        ::SetWindowTextA(edit, text);
        return;
    }
    char text[kScanUnsignedChars + 1] = "";
    ::GetWindowTextA(edit, text, sizeof text);
    if (!ScanUnsigned(text, value)) {
        AfxMessageBox(kNotANumber, MB_ICONEXCLAMATION);
        pDX->Fail();
    }
}

void DDV_MinMaxUInt(CDataExchange* pDX, unsigned value, unsigned minimum, unsigned maximum)
{
    if (!pDX->m_bSaveAndValidate || (value >= minimum && value <= maximum))
        return;
    CString message;
    message.Format(kOutOfRange, minimum, maximum);
    AfxMessageBox(message, MB_ICONEXCLAMATION);
    pDX->Fail();
}

void DDX_Check(CDataExchange* pDX, int id, int& value)
{
    HWND box = pDX->m_pDlgWnd->GetDlgItem(id);
    if (pDX->m_bSaveAndValidate) {
        value = static_cast<int>(::SendMessageA(box, BM_GETCHECK, 0, 0));
        return;
    }
    if (value < 0 || value > 2)
        value = 0;
    ::SendMessageA(box, BM_SETCHECK, static_cast<WPARAM>(value), 0);
}

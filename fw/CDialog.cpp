#include "fw/CDialog.h"

#include "fw/CWinApp.h"

namespace {

// Messages whose result a dialog procedure returns directly instead of through DWLP_MSGRESULT.
bool ReturnsResultDirectly(UINT message)
{
    switch (message) {
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
    case WM_INITDIALOG:
        return true;
    default:
        return false;
    }
}

} // namespace

CDialog::CDialog(UINT templateId, CWnd* parent) : m_templateId(templateId), m_parent(parent) {}

INT_PTR CDialog::DoModal()
{
    HWND owner = ModalOwner();
    const bool disableOwner = owner && ::IsWindowEnabled(owner);
    if (disableOwner)
        ::EnableWindow(owner, FALSE);

    m_modalResult = -1;
    m_modalRunning = true;
    HWND window = ::CreateDialogParamA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(m_templateId), owner,
                                       &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    if (window) {
        if (m_showOnStart && m_modalRunning && !::IsWindowVisible(window))
            ::ShowWindow(window, SW_SHOWNORMAL);
        RunModalLoop();
    }
    // The owner is enabled again before the dialog goes, so that activation returns to it.
    if (disableOwner)
        ::EnableWindow(owner, TRUE);
    if (window)
        ::DestroyWindow(window);
    m_hWnd = nullptr;
    return m_modalResult;
}

void CDialog::EndDialog(int result)
{
    m_modalResult = result;
    m_modalRunning = false;
    if (m_hWnd)
        ::PostMessageA(m_hWnd, WM_NULL, 0, 0); // wakes the loop
}

BOOL CDialog::UpdateData(BOOL saveAndValidate)
{
    CDataExchange exchange(this, saveAndValidate != FALSE);
    try {
        DoDataExchange(&exchange);
    } catch (const CUserException&) {
        return FALSE; // the user has been told what is wrong
    }
    return TRUE;
}

BOOL CDialog::OnCommand(WPARAM wParam, LPARAM lParam)
{
    switch (LOWORD(wParam)) {
    case IDOK:
        OnOK();
        return TRUE;
    case IDCANCEL:
        OnCancel();
        return TRUE;
    default:
        return FALSE;
    }
}

void CDialog::DoDataExchange(CDataExchange*) {}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK()
{
    if (UpdateData(TRUE))
        EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

bool CDialog::OnMessage(UINT, WPARAM, LPARAM, LRESULT&)
{
    return false;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<CDialog*>(lParam);
        ::SetWindowLongPtrA(window, DWLP_USER, lParam);
        self->m_hWnd = window;
        return self->OnInitDialog();
    }
    auto* self = reinterpret_cast<CDialog*>(::GetWindowLongPtrA(window, DWLP_USER));
    if (!self)
        return FALSE;
    return self->Dispatch(message, wParam, lParam);
}

INT_PTR CDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (message == WM_COMMAND)
        return OnCommand(wParam, lParam);
    if (OnMessage(message, wParam, lParam, result)) {
        if (ReturnsResultDirectly(message))
            return static_cast<INT_PTR>(result);
        ::SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, result);
        return TRUE;
    }
    if (message == WM_CLOSE) {
        OnCancel();
        return TRUE;
    }
    return FALSE;
}

HWND CDialog::ModalOwner() const
{
    if (m_parent)
        return m_parent->m_hWnd;
    // A dialog without a parent is owned by the application's main window, as long as
    // that is not the dialog itself.
    CWinApp* app = AfxGetApp();
    if (app && app->m_pMainWnd && app->m_pMainWnd != this)
        return app->m_pMainWnd->m_hWnd;
    return nullptr;
}

void CDialog::RunModalLoop()
{
    MSG message;
    while (m_modalRunning) {
        const BOOL got = ::GetMessageA(&message, nullptr, 0, 0);
        if (got <= 0) {
            if (got == 0)
                ::PostQuitMessage(static_cast<int>(message.wParam)); // leaves the quit for outer loops
            if (m_modalRunning)
                m_modalResult = IDCANCEL;
            m_modalRunning = false;
            break;
        }
        if (!m_hWnd || !::IsDialogMessageA(m_hWnd, &message)) {
            ::TranslateMessage(&message);
            ::DispatchMessageA(&message);
        }
    }
}

#include "fw/CWnd.h"

namespace {

const char kObjectProperty[] = "fw.CWnd";

} // namespace

CWnd::~CWnd()
{
    Unsubclass();
}

CString CWnd::GetWindowText() const
{
    CString text;
    const int length = ::GetWindowTextLengthA(m_hWnd);
    if (length > 0) {
        char* buffer = text.GetBufferSetLength(length);
        ::GetWindowTextA(m_hWnd, buffer, length + 1);
        text.ReleaseBuffer();
    }
    return text;
}

RECT CWnd::GetWindowRect() const
{
    RECT rect = {};
    ::GetWindowRect(m_hWnd, &rect);
    return rect;
}

RECT CWnd::GetClientRect() const
{
    RECT rect = {};
    ::GetClientRect(m_hWnd, &rect);
    return rect;
}

BOOL CWnd::SubclassWindow(HWND window)
{
    if (!window || m_originalProc)
        return FALSE;
    m_hWnd = window;
    ::SetPropA(window, kObjectProperty, this);
    m_originalProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::SubclassProc)));
    return m_originalProc != nullptr;
}

BOOL CWnd::SubclassDlgItem(int id, CWnd* parent)
{
    return SubclassWindow(::GetDlgItem(parent->m_hWnd, id));
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefaultProc(message, wParam, lParam);
}

LRESULT CWnd::DefaultProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (m_originalProc)
        return ::CallWindowProcA(m_originalProc, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}

LRESULT CALLBACK CWnd::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = static_cast<CWnd*>(::GetPropA(window, kObjectProperty));
    if (!self)
        return ::DefWindowProcA(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        WNDPROC original = self->m_originalProc;
        self->Unsubclass();
        self->m_hWnd = nullptr;
        return ::CallWindowProcA(original, window, message, wParam, lParam);
    }
    return self->WindowProc(message, wParam, lParam);
}

void CWnd::Unsubclass()
{
    if (!m_originalProc || !m_hWnd)
        return;
    ::SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_originalProc));
    ::RemovePropA(m_hWnd, kObjectProperty);
    m_originalProc = nullptr;
}

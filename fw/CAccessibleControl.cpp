#include "fw/CAccessibleControl.h"

#include <utility>

CAccessibleControl::~CAccessibleControl()
{
    if (m_accessible)
        m_accessible->Disconnect();
}

void CAccessibleControl::SetAccessible(CComPtr<CAccessibleProxy> accessible)
{
    if (accessible.Get() == m_accessible.Get())
        return;
    if (m_accessible)
        m_accessible->Disconnect();
    m_accessible = std::move(accessible);
}

LRESULT CAccessibleControl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_GETOBJECT: {
        LRESULT result = 0;
        if (m_accessible && m_accessible->AnswerGetObject(wParam, lParam, result))
            return result;
        break;
    }
    case WM_DESTROY:
        if (m_accessible)
            m_accessible->Disconnect();
        break;
    default:
        break;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

#include "fw/CAccessibleStatic.h"

CAccessibleStatic::~CAccessibleStatic()
{
    if (m_accessible)
        m_accessible->Disconnect();
}

void CAccessibleStatic::SetAccessible(CAccessibleProxy* accessible)
{
    if (accessible == m_accessible.Get())
        return;
    if (m_accessible)
        m_accessible->Disconnect();
    if (accessible)
        accessible->AddRef();
    m_accessible.Reset(accessible);
}

LRESULT CAccessibleStatic::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
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
    return CStatic::WindowProc(message, wParam, lParam);
}

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
    LRESULT answer = 0;
    if (m_accessible && m_accessible->OnControlMessage(message, wParam, lParam, answer))
        return answer;
    return CStatic::WindowProc(message, wParam, lParam);
}

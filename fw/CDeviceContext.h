// The two pairings of a window's device context as scope objects: BeginPaint and EndPaint while
// a window paints, GetDC and ReleaseDC for drawing at other times.
#pragma once
#include <windows.h>

class CPaintDC {
public:
    explicit CPaintDC(HWND window) : m_window(window) { m_dc = ::BeginPaint(window, &m_paint); }
    ~CPaintDC() { ::EndPaint(m_window, &m_paint); }
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;

    operator HDC() const { return m_dc; }

private:
    HWND m_window;
    PAINTSTRUCT m_paint = {};
    HDC m_dc = nullptr;
};

class CClientDC {
public:
    explicit CClientDC(HWND window) : m_window(window), m_dc(::GetDC(window)) {}
    ~CClientDC()
    {
        if (m_dc)
            ::ReleaseDC(m_window, m_dc);
    }
    CClientDC(const CClientDC&) = delete;
    CClientDC& operator=(const CClientDC&) = delete;

    operator HDC() const { return m_dc; }

private:
    HWND m_window;
    HDC m_dc;
};

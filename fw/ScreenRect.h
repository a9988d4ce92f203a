// A rectangle of pixels in virtual-screen coordinates, portable so that the arithmetic that
// decides where windows go builds and is tested without Windows. Left and top are inside it,
// right and bottom just outside, as in a Win32 RECT; coordinates may be negative (monitors left
// of or above the primary one).
#pragma once
#include <algorithm>

struct ScreenRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    // 64 bits: a rectangle that came from another process may span more than an int holds.
    long long Width() const { return static_cast<long long>(right) - left; }
    long long Height() const { return static_cast<long long>(bottom) - top; }
    bool IsEmpty() const { return right <= left || bottom <= top; }
    bool Contains(const ScreenRect& other) const
    {
        return other.left >= left && other.top >= top && other.right <= right && other.bottom <= bottom;
    }
    bool operator==(const ScreenRect& other) const
    {
        return left == other.left && top == other.top && right == other.right && bottom == other.bottom;
    }
    bool operator!=(const ScreenRect& other) const { return !(*this == other); }
};

// One monitor: its whole rectangle and its work area (without the taskbar and docked bars).
struct MonitorAreas {
    ScreenRect monitor;
    ScreenRect work;
};

// The pixels two rectangles share; 0 when they do not meet. Unsigned 64 bits: each side is less
// than 2^32, so the product always fits (a rectangle from another process may span every int).
inline unsigned long long OverlapArea(const ScreenRect& a, const ScreenRect& b)
{
    const long long width = static_cast<long long>(std::min(a.right, b.right)) - std::max(a.left, b.left);
    const long long height = static_cast<long long>(std::min(a.bottom, b.bottom)) - std::max(a.top, b.top);
    return width > 0 && height > 0 ? static_cast<unsigned long long>(width) * static_cast<unsigned long long>(height) : 0;
}

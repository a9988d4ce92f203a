// How the popup looks and where its parts are: the layout of its controls at every size and DPI,
// the size grip it paints in its bottom-right corner, dragging by any free spot of its client
// area, the hand cursor over the links, and the colours of the popup's parts in the user's theme
// (its own light or dark scheme, or the system's colours in high contrast), repainted at once
// when the theme changes.
#pragma once
#include <windows.h>

#include "fw/CScopedHandle.h"
#include "fw/CStatic.h"
#include "fw/CWnd.h"
#include "popup/CLinkBar.h"

class CPopupLayout {
public:
    struct Parts {
        CWnd* popup;
        HICON icon; // drawn while the popup is minimised
        HWND itemView;
        CLinkBar* linkBar;
        CStatic* statusLine;
        CStatic* menuIcon;
    };

    void Attach(const Parts& parts, int dpi);
    // The popup moved to a monitor of another scale: every control's place and size are scaled
    // to it (the status line's font too); the caller gives the item view and the link bar their
    // fonts and sizes the popup next, which lays out the bottom row again.
    void ChangeDpi(int dpi);

    // WM_SIZE, WM_PAINT, WM_NCHITTEST, WM_SETCURSOR and the control colour messages; false for
    // any other message, and for WM_SETCURSOR where the default cursor stands. A change of the
    // system's colours or settings is looked at and passed on (false).
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    // A length in pixels at 96 DPI, at the popup's DPI.
    int Px(int pixelsAt96Dpi) const;

private:
    void OnSize(int cx, int cy);
    void OnPaint();
    LRESULT OnNcHitTest(LPARAM lParam);
    bool OnSetCursor();
    LRESULT OnCtlColor(UINT message, HDC dc, HWND control);
    // Reads the theme; with repaint, the popup and its controls are painted again in it.
    void ApplyTheme(bool repaint);

    Parts m_parts = {};
    int m_dpi = 96;
    CGdiObject m_statusFont; // the dialog's font scaled, after a change of DPI
    CGdiObject m_faceBrush;  // the theme's background of the popup
    CGdiObject m_viewBrush;  // ... and of the item view
};

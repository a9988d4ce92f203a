// Where the popup stands: out of sight, docked below the watched window (topmost, as wide as it,
// its own height), or at its remembered place (View). It takes the hook library's watch events,
// decides which window to accompany, follows that window and hides when it goes. It is the only
// writer of the popup's visibility and of its remembered rectangle.
#pragma once
#include <windows.h>

#include "fw/CWnd.h"
#include "popup/CTitleWatchList.h"

class CPopupPlacement {
public:
    // What the placement tells the popup.
    class IEvents {
    public:
        // The popup was placed below the watched window (a fresh sponsor picture is due).
        virtual void OnDocked() = 0;

    protected:
        ~IEvents() = default;
    };

    void Attach(CWnd& popup, IEvents& events);

    // Set-up: the place the template gave the popup is remembered for View, and the popup waits
    // out of sight until it is needed.
    void MoveOutOfSight();

    // The watch messages and the placement's timers; false for any other message.
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam);

    // View: at the remembered place, no longer topmost.
    void ShowAtRememberedPlace();
    // Close and Esc: the popup hides and remembers where it was.
    void HideAndRemember();
    // After the popup's size changed.
    void Remember();
    // The popup's window goes: the timers stop.
    void Stop();

    bool IsVisible() const { return m_visible; }
    const RECT& RememberedRect() const { return m_savedRect; }

private:
    void OnWatchCreated(HWND window);
    void OnWatchPlace(HWND window);
    void OnWatchDestroyed(HWND window);
    void OnSettleTimer();
    void OnTitleTimer();
    bool HasLongOperationTitle(HWND window) const;
    void Accompany(HWND window);
    void WatchTitle(HWND window);

    CWnd* m_popup = nullptr;
    IEvents* m_events = nullptr;
    BOOL m_visible = FALSE;
    RECT m_savedRect = {};
    HWND m_watchedWnd = nullptr;
    bool m_watchedAlive = false;
    RECT m_placedBeside = {}; // the watched window's rectangle at the last placement
    CTitleWatchList m_titleWatch;
};

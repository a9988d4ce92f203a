// Where the popup stands: out of sight, docked beside the watched window (topmost, below it when
// it fits inside the work area, else above it, else inside its bottom edge), or at its remembered
// place (View), brought onto a monitor that still exists. It takes the hook library's watch
// events, decides which window to accompany, follows that window and hides when it goes. While
// the user is busy (a full-screen program, a presentation, quiet hours) it does not come to a new
// window; it asks again every few seconds and comes once that has ended, if the window still
// lives. It is the only writer of the popup's visibility and of its remembered rectangle.
#pragma once
#include <windows.h>

#include <vector>

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

    // The watch hook is in place: windows made before it came were never reported, and neither
    // are those of a thread that has not noticed it yet (Wine tells a thread of hooks installed
    // since it last read its messages only when it next does). For a few seconds the visible
    // windows of the desktop are taken as reported, each once.
    void SweepDesktop();

    // View: at the remembered place, no longer topmost.
    void ShowAtRememberedPlace();
    // Close and Esc: the popup hides and remembers where it was.
    void HideAndRemember();
    // After the popup's size changed.
    void Remember();
    // After the popup's DPI changed, and with it its height: beside the watched window again, if
    // it stands there.
    void PlaceAgain();
    // The popup's window goes: the timers stop.
    void Stop();

    bool IsVisible() const { return m_visible; }
    const RECT& RememberedRect() const { return m_savedRect; }

private:
    void OnWatchCreated(HWND window);
    void OnWatchPlace(HWND window);
    void PlaceBeside(HWND window);
    void OnWatchDestroyed(HWND window);
    void OnSettleTimer();
    void OnTitleTimer();
    void OnQuietTimer();
    void OnSweepTimer();
    void EndQuietWait();
    bool HasLongOperationTitle(HWND window) const;
    void Accompany(HWND window);
    void Dock();
    void WatchTitle(HWND window);

    CWnd* m_popup = nullptr;
    IEvents* m_events = nullptr;
    BOOL m_visible = FALSE;
    RECT m_savedRect = {};
    HWND m_watchedWnd = nullptr;
    bool m_watchedAlive = false;
    bool m_waitingForQuiet = false; // the watched window came while the user was busy
    RECT m_placedBeside = {}; // the watched window's rectangle at the last placement
    CTitleWatchList m_titleWatch;
    int m_sweepTicksLeft = 0;
    std::vector<HWND> m_swept; // windows the sweep took, while it lasts
};

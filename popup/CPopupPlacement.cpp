#include "popup/CPopupPlacement.h"

#include <algorithm>

#include "fw/Monitors.h"
#include "fw/QuietFacts.h"
#include "fw/Win32Util.h"
#include "hook/WatchMessages.h"
#include "popup/DecisionLog.h"
#include "popup/LongOperationTitle.h"
#include "popup/PopupPlacement.h"
#include "popup/PopupTimers.h"

namespace {

const UINT kSettleMs = 250;
const UINT kTitleTickMs = 200;
const UINT kQuietTickMs = 2000;
const UINT kSweepTickMs = 250;
const int kSweepTicks = 20;
// Where the popup waits before it is first needed: left of and above any monitor that starts at
// the origin, so that nothing of it shows while it is hidden.
const POINT kOutOfSight = {-1000, -1000};
// A title is tested for a long operation on its first characters up to this many.
const int kTitleChars = 1024;

int Width(const RECT& rect) { return rect.right - rect.left; }
int Height(const RECT& rect) { return rect.bottom - rect.top; }

// The popup has a sizing frame and a caption: the system keeps it at least this wide, whatever
// width it is given.
int SmallestPopupWidth() { return ::GetSystemMetrics(SM_CXMINTRACK); }

} // namespace

void CPopupPlacement::Attach(CWnd& popup, IEvents& events)
{
    m_popup = &popup;
    m_events = &events;
}

void CPopupPlacement::MoveOutOfSight()
{
    const RECT centred = m_popup->GetWindowRect();
    m_popup->SetWindowPos(nullptr, kOutOfSight.x, kOutOfSight.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    m_popup->ShowWindow(SW_HIDE);
    m_savedRect = centred;
    m_visible = FALSE;
}

bool CPopupPlacement::OnMessage(UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_WATCH_CREATED:
        OnWatchCreated(reinterpret_cast<HWND>(wParam));
        return true;
    case WM_WATCH_PLACE:
        OnWatchPlace(reinterpret_cast<HWND>(wParam));
        return true;
    case WM_WATCH_DESTROYED:
        OnWatchDestroyed(reinterpret_cast<HWND>(wParam));
        return true;
    case WM_TIMER:
        if (wParam == kSettleTimer)
            OnSettleTimer();
        else if (wParam == kTitleTimer)
            OnTitleTimer();
        else if (wParam == kQuietTimer)
            OnQuietTimer();
        else if (wParam == kSweepTimer)
            OnSweepTimer();
        else
            return false;
        return true;
    default:
        return false;
    }
}

// The user asked for it: it shows even while the user is busy with something else, and a popup
// waiting for that to end waits no longer. The remembered place may lie on a monitor unplugged
// since, or beside one that shrank: it is brought onto one that is there.
void CPopupPlacement::ShowAtRememberedPlace()
{
    EndQuietWait();
    const RECT place = ToRect(BringOntoMonitor(ToScreenRect(m_savedRect), ReadMonitors()));
    m_popup->SetWindowPos(HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    m_popup->SetWindowPos(nullptr, place.left, place.top, Width(place), Height(place), SWP_NOZORDER);
    m_popup->ShowWindow(SW_SHOW);
    m_visible = TRUE;
}

void CPopupPlacement::HideAndRemember()
{
    m_savedRect = m_popup->GetWindowRect();
    m_popup->ShowWindow(SW_HIDE);
    m_visible = FALSE;
}

void CPopupPlacement::Remember()
{
    m_savedRect = m_popup->GetWindowRect();
}

void CPopupPlacement::Stop()
{
    ::KillTimer(*m_popup, kSettleTimer);
    ::KillTimer(*m_popup, kTitleTimer);
    ::KillTimer(*m_popup, kQuietTimer);
    ::KillTimer(*m_popup, kSweepTimer);
}

void CPopupPlacement::SweepDesktop()
{
    m_sweepTicksLeft = kSweepTicks;
    ::SetTimer(*m_popup, kSweepTimer, kSweepTickMs, nullptr);
}

void CPopupPlacement::OnSweepTimer()
{
    if (--m_sweepTicksLeft <= 0) {
        ::KillTimer(*m_popup, kSweepTimer);
        m_swept.clear();
        return;
    }
    for (HWND window : VisibleWindowsOfOtherProcesses()) {
        if (std::find(m_swept.begin(), m_swept.end(), window) != m_swept.end())
            continue;
        m_swept.push_back(window);
        OnWatchCreated(window);
    }
}

void CPopupPlacement::OnWatchCreated(HWND window)
{
    // The hook library reports a window a second time at its first activation (its title may
    // not have been set when the creation was reported). A window the popup already accompanies
    // is nothing new: if the user hid the popup meanwhile, it stays hidden.
    if (!window || (window == m_watchedWnd && m_watchedAlive))
        return;
    if (!HasLongOperationTitle(window)) {
        LogWindowIgnored(window);
        WatchTitle(window);
        return;
    }
    Accompany(window);
}

bool CPopupPlacement::HasLongOperationTitle(HWND window) const
{
    wchar_t title[kTitleChars] = L"";
    ::GetWindowTextW(window, title, kTitleChars);
    return IsLongOperationTitle(title);
}

// The popup docks beside the window, topmost; while the user is busy, it waits out of sight
// (leaving a window it stood beside) until that has ended.
void CPopupPlacement::Accompany(HWND window)
{
    m_titleWatch.Remove(reinterpret_cast<CTitleWatchList::Window>(window));
    m_watchedWnd = window;
    m_watchedAlive = true;
    LogPopupComes(window, IsQuietTimeNow());
    if (IsQuietTimeNow()) {
        if (m_visible)
            HideAndRemember();
        if (!m_waitingForQuiet)
            ::SetTimer(*m_popup, kQuietTimer, kQuietTickMs, nullptr);
        m_waitingForQuiet = true;
        return;
    }
    EndQuietWait();
    Dock();
}

// The popup comes to a window: its focus frames stay hidden until the user takes up the keyboard.
void CPopupPlacement::Dock()
{
    SetFocusCues(*m_popup, false);
    OnWatchPlace(m_watchedWnd);
    LogPlacement(m_placedBeside, m_popup->GetWindowRect());
    m_popup->ShowWindow(SW_SHOW);
    m_popup->SetWindowPos(HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    m_visible = TRUE;
}

// The popup's top edge lies on the watched window's bottom edge, flush left, as wide as the
// window within the work area, keeping its own height; where it does not fit below, it goes
// above, and where it fits neither, inside the window's bottom edge. It never leaves the work
// area. It shows at once, with the picture it has; a fresh one is asked for once it stands
// there. A move of a window the popup waits to accompany does not bring it.
void CPopupPlacement::OnWatchPlace(HWND window)
{
    if (!window || window != m_watchedWnd || !m_watchedAlive || m_waitingForQuiet || !::IsWindow(window))
        return;
    PlaceBeside(window);
    m_popup->ShowWindow(SW_SHOW);
    m_visible = TRUE;
    m_savedRect = m_popup->GetWindowRect();
    ::SetTimer(*m_popup, kSettleTimer, kSettleMs, nullptr);
    m_events->OnDocked();
}

void CPopupPlacement::PlaceBeside(HWND window)
{
    RECT watched = {};
    ::GetWindowRect(window, &watched);
    m_placedBeside = watched;
    const RECT place = ToRect(
        PlacePopupBeside(ToScreenRect(watched), Height(m_savedRect), SmallestPopupWidth(), ReadMonitors()));
    m_popup->SetWindowPos(HWND_TOPMOST, place.left, place.top, Width(place), Height(place), SWP_NOACTIVATE);
}

void CPopupPlacement::PlaceAgain()
{
    Remember();
    if (m_visible && m_watchedAlive && !m_waitingForQuiet && ::IsWindow(m_watchedWnd)
        && ::GetWindowLongPtrA(*m_popup, GWL_EXSTYLE) & WS_EX_TOPMOST) {
        PlaceBeside(m_watchedWnd);
        Remember();
    }
}

// Places the popup again if the watched window ended up elsewhere than where it was when the
// last placement read it. What the popup itself achieved is not compared: below a window
// narrower than the popup can be, its width never matches, and it must not be placed again
// and again.
void CPopupPlacement::OnSettleTimer()
{
    ::KillTimer(*m_popup, kSettleTimer);
    if (!m_visible || !m_watchedAlive || !::IsWindow(m_watchedWnd))
        return;
    RECT watched = {};
    ::GetWindowRect(m_watchedWnd, &watched);
    if (!::EqualRect(&watched, &m_placedBeside))
        OnWatchPlace(m_watchedWnd);
}

// Only the watched window's end hides the popup: any process can post this message, and a
// report of no window, or of a window that is gone already, must not move the popup's place.
void CPopupPlacement::OnWatchDestroyed(HWND window)
{
    m_titleWatch.Remove(reinterpret_cast<CTitleWatchList::Window>(window));
    if (!window || window != m_watchedWnd || !m_watchedAlive)
        return;
    m_watchedAlive = false; // the handle stays, but may come again for a new window
    EndQuietWait();
    HideAndRemember();
}

// The popup comes to the window it waits for once the user is no longer busy, if that window
// still lives.
void CPopupPlacement::OnQuietTimer()
{
    if (!m_waitingForQuiet || !m_watchedAlive || !::IsWindow(m_watchedWnd)) {
        EndQuietWait();
        return;
    }
    if (IsQuietTimeNow())
        return;
    EndQuietWait();
    Dock();
}

void CPopupPlacement::EndQuietWait()
{
    m_waitingForQuiet = false;
    ::KillTimer(*m_popup, kQuietTimer);
}

// A reported window whose title does not announce a long operation may still come to: its title
// is read again while it lives.
void CPopupPlacement::WatchTitle(HWND window)
{
    // Setting the timer again would put its next tick off: with windows coming faster than the
    // ticks, none would ever come. It is set when the list was empty (and the timer ends with it).
    const bool timerIdle = m_titleWatch.IsEmpty();
    m_titleWatch.Add(reinterpret_cast<CTitleWatchList::Window>(window));
    if (timerIdle)
        ::SetTimer(*m_popup, kTitleTimer, kTitleTickMs, nullptr);
}

void CPopupPlacement::OnTitleTimer()
{
    CTitleWatchList::Window batch[CTitleWatchList::kReadsPerTick];
    const size_t count = m_titleWatch.NextBatch(batch);
    for (size_t i = 0; i < count; ++i) {
        HWND window = reinterpret_cast<HWND>(batch[i]);
        if (!::IsWindow(window)) {
            m_titleWatch.Remove(batch[i]);
        } else if (::IsWindowVisible(window) && window != m_popup->m_hWnd && HasLongOperationTitle(window)) {
            Accompany(window);
            break;
        }
    }
    if (m_titleWatch.IsEmpty())
        ::KillTimer(*m_popup, kTitleTimer);
}

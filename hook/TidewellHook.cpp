// The window-watch hook. It runs inside every process of the desktop, so it must never
// crash, block or slow them: it only posts messages to the popup, never waits, and always
// passes the event on.
#include <windows.h>

#include "hook/WatchMessages.h"

namespace {

// This process's idea of where the popup is. Every call the hook makes is paid by the process
// at every window event (and under Wine each is a trip to the server), so the handle is
// trusted until a message to it cannot be posted: the popup is gone, and is looked up again.
HWND volatile g_popup = nullptr;

// Windows of this process whose activation was reported. A window's first activation is reported
// as its creation (the creation event comes before the window has its title, so the popup may have
// read an empty one; and a window made before the hook came to this process was never reported at
// all); later activations are not, or a window the user hid the popup from would take it back
// whenever it became active again. A window that falls out of the table (64 others activated
// since) is reported once more, which the popup takes as nothing new for a window it already
// accompanies. Lock-free: the hook runs on any thread of the process and must never wait.
const int kActivatedSlots = 64;
HWND volatile g_activated[kActivatedSlots];
LONG volatile g_nextSlot = 0;

bool WasActivated(HWND window)
{
    for (int slot = 0; slot < kActivatedSlots; ++slot)
        if (g_activated[slot] == window)
            return true;
    return false;
}

void RememberActivation(HWND window)
{
    const LONG slot = static_cast<LONG>(static_cast<ULONG>(::InterlockedIncrement(&g_nextSlot)) % kActivatedSlots);
    ::InterlockedExchangePointer(reinterpret_cast<PVOID volatile*>(&g_activated[slot]), window);
}

// The handle of a window that goes may come again for another window, whose first activation
// must count.
void ForgetActivation(HWND window)
{
    for (int slot = 0; slot < kActivatedSlots; ++slot)
        ::InterlockedCompareExchangePointer(reinterpret_cast<PVOID volatile*>(&g_activated[slot]), nullptr, window);
}

bool IsTopLevel(HWND window)
{
    return window && !(::GetWindowLongPtrA(window, GWL_STYLE) & WS_CHILD);
}

// Whether a window being created is a top-level window (and not a message-only one). The creation
// record is read only in the window's own process: Windows runs a hook for processes of the other
// bitness in the thread that installed it, where the record's address means nothing.
bool IsNewTopLevel(HWND window, LPARAM lParam)
{
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    if (process != ::GetCurrentProcessId())
        return IsTopLevel(window);
    const CBT_CREATEWNDA* created = reinterpret_cast<CBT_CREATEWNDA*>(lParam);
    const CREATESTRUCTA* create = created ? created->lpcs : nullptr;
    return create && !(create->style & WS_CHILD) && create->hwndParent != HWND_MESSAGE;
}

void Report(UINT message, HWND window)
{
    HWND popup = g_popup;
    if (popup && (popup == window || ::PostMessageA(popup, message, reinterpret_cast<WPARAM>(window), 0)))
        return;
    popup = ::FindWindowA(nullptr, LULLCAST_MAIN_CAPTION);
    g_popup = popup;
    if (popup && popup != window)
        ::PostMessageA(popup, message, reinterpret_cast<WPARAM>(window), 0);
}

void OnEvent(int code, HWND window, LPARAM lParam)
{
    switch (code) {
    case HCBT_CREATEWND:
        if (IsNewTopLevel(window, lParam))
            Report(WM_WATCH_CREATED, window);
        break;
    case HCBT_ACTIVATE:
        if (window && !WasActivated(window) && IsTopLevel(window)) {
            RememberActivation(window);
            Report(WM_WATCH_CREATED, window);
        }
        break;
    case HCBT_MOVESIZE:
    case HCBT_MINMAX:
        if (IsTopLevel(window))
            Report(WM_WATCH_PLACE, window);
        break;
    case HCBT_DESTROYWND:
        if (IsTopLevel(window)) {
            ForgetActivation(window);
            Report(WM_WATCH_DESTROYED, window);
        }
        break;
    default:
        break;
    }
}

} // namespace

extern "C" LRESULT CALLBACK TidewellHookProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code >= 0)
        OnEvent(code, reinterpret_cast<HWND>(wParam), lParam);
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

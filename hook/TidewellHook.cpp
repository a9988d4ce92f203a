// The window-watch hook. It runs inside every process of the desktop, so it must never
// crash, block or slow them: it only posts messages to the popup, never waits, and always
// passes the event on.
#include <windows.h>

#include "app/WatchMessages.h"

namespace {

// This process's idea of where the popup is. Every call the hook makes is paid by the process
// at every window event (and under Wine each is a trip to the server), so the handle is
// trusted until a message to it cannot be posted: the popup is gone, and is looked up again.
HWND volatile g_popup = nullptr;

// Windows of this process that were created but not yet activated. A window's first
// activation is reported as its creation (the creation event comes before the window has its
// title, so the popup may have read an empty one); later activations are not, or a window the
// user hid the popup from would take it back whenever it became active again. Lock-free: the
// hook runs on any thread of the process and must never wait.
const int kAwaitingSlots = 64;
HWND volatile g_awaitingActivation[kAwaitingSlots];
LONG volatile g_nextSlot = 0;

void AwaitFirstActivation(HWND window)
{
    const LONG slot = static_cast<LONG>(static_cast<ULONG>(::InterlockedIncrement(&g_nextSlot)) % kAwaitingSlots);
    ::InterlockedExchangePointer(reinterpret_cast<PVOID volatile*>(&g_awaitingActivation[slot]), window);
}

// True once for a window that AwaitFirstActivation took, and never again.
bool TakeFirstActivation(HWND window)
{
    for (int slot = 0; slot < kAwaitingSlots; ++slot) {
        if (g_awaitingActivation[slot] == window
            && ::InterlockedCompareExchangePointer(reinterpret_cast<PVOID volatile*>(&g_awaitingActivation[slot]),
                                                   nullptr, window) == window)
            return true;
    }
    return false;
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
        if (IsNewTopLevel(window, lParam)) {
            AwaitFirstActivation(window);
            Report(WM_WATCH_CREATED, window);
        }
        break;
    case HCBT_ACTIVATE:
        if (window && TakeFirstActivation(window))
            Report(WM_WATCH_CREATED, window);
        break;
    case HCBT_MOVESIZE:
    case HCBT_MINMAX:
        if (IsTopLevel(window))
            Report(WM_WATCH_PLACE, window);
        break;
    case HCBT_DESTROYWND:
        if (IsTopLevel(window)) {
            TakeFirstActivation(window); // its handle may come again for another window
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

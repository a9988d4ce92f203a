// The window-watch hook. It runs inside every process of the desktop, so it must never
// crash, block or slow them: it only posts messages to the popup, never waits, and always
// passes the event on.
#include <windows.h>

#include "app/WatchMessages.h"

namespace {

// This process's idea of where the popup is. Looked up again only when the window it
// names is gone or now belongs to another thread.
HWND g_popup = nullptr;
DWORD g_popupThread = 0;

HWND FindPopup()
{
    HWND popup = g_popup;
    if (popup && ::IsWindow(popup) && ::GetWindowThreadProcessId(popup, nullptr) == g_popupThread)
        return popup;
    popup = ::FindWindowA(nullptr, LULLCAST_MAIN_CAPTION);
    g_popupThread = popup ? ::GetWindowThreadProcessId(popup, nullptr) : 0;
    g_popup = popup;
    return popup;
}

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

void Report(UINT message, HWND window)
{
    HWND popup = FindPopup();
    if (popup && popup != window)
        ::PostMessageA(popup, message, reinterpret_cast<WPARAM>(window), 0);
}

void OnEvent(int code, HWND window, LPARAM lParam)
{
    switch (code) {
    case HCBT_CREATEWND: {
        const CREATESTRUCTA* create = reinterpret_cast<CBT_CREATEWNDA*>(lParam)->lpcs;
        if (create && !(create->style & WS_CHILD) && create->hwndParent != HWND_MESSAGE) {
            AwaitFirstActivation(window);
            Report(WM_WATCH_CREATED, window);
        }
        break;
    }
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

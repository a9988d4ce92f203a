// The floor of a window-watching hook, for the benchmarks: for each window event that a watcher
// must hear of, one message posted to the window of floorhook.exe, which installed the hook, and
// the event passed on. Nothing else: no look at the window, no wait.
#include <windows.h>

#include "bench/FloorHook.h"

namespace {

// Looked up once per process, and again only when a post to it fails.
HWND volatile g_sink = nullptr;

void Post(int code, WPARAM window)
{
    HWND sink = g_sink;
    if (sink && ::PostMessageA(sink, WM_FLOOR_EVENT, static_cast<WPARAM>(code), static_cast<LPARAM>(window)))
        return;
    sink = ::FindWindowExA(HWND_MESSAGE, nullptr, FLOOR_HOOK_SINK_CLASS, nullptr);
    g_sink = sink;
    if (sink)
        ::PostMessageA(sink, WM_FLOOR_EVENT, static_cast<WPARAM>(code), static_cast<LPARAM>(window));
}

} // namespace

extern "C" LRESULT CALLBACK FloorHookProc(int code, WPARAM wParam, LPARAM lParam)
{
    switch (code) {
    case HCBT_CREATEWND:
    case HCBT_ACTIVATE:
    case HCBT_MOVESIZE:
    case HCBT_MINMAX:
    case HCBT_DESTROYWND:
        Post(code, wParam);
        break;
    default:
        break;
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

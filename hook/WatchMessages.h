// What the hook library and the program agree on: the popup's caption, by which the
// library finds it, and the messages the library posts to it. wParam carries the handle
// of the window concerned; lParam is unused.
#pragma once
#include <windows.h>

#define LULLCAST_MAIN_CAPTION "Lullcast - Idlewaven"
#define LULLCAST_HOOK_LIBRARY "Lullcast.dll"
#define LULLCAST_HOOK_PROC "TidewellHookProc"

enum : UINT {
    WM_WATCH_CREATED = WM_USER + 1,   // a top-level window appeared (or was activated)
    WM_WATCH_PLACE = WM_USER + 2,     // a top-level window was moved, sized, minimised or restored
    WM_WATCH_DESTROYED = WM_USER + 3, // a top-level window is being destroyed
};

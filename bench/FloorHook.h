// What FloorHook.dll and floorhook.exe share: the class of the installer's message-only window, to
// which the hook posts, and the message it posts (the event's code in WPARAM, the window in LPARAM).
#pragma once

#include <windows.h>

#define FLOOR_HOOK_SINK_CLASS "LullcastFloorHookSink"
#define WM_FLOOR_EVENT (WM_APP + 1)

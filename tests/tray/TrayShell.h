// What a test asks the shell about any program's notification icon, named by its window and
// identifier. These calls go to the shell directly, never through the recorder.
#pragma once
#include <windows.h>
#include <shellapi.h>

typedef BOOL(WINAPI* ShellNotifyIconFunction)(DWORD message, PNOTIFYICONDATAA data);

ShellNotifyIconFunction RealShellNotifyIcon();

// A modify that changes nothing succeeds only for an icon that is there.
bool IsIconPresent(HWND owner, UINT id);
// Takes an icon away as a restart of the shell would: its program is not told.
bool RemoveIcon(HWND owner, UINT id);
// What a new taskbar tells every top-level window.
void BroadcastTaskbarCreated();

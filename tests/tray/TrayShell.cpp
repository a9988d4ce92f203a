#include "tests/tray/TrayShell.h"

namespace {

NOTIFYICONDATAA RecordOf(HWND owner, UINT id)
{
    NOTIFYICONDATAA record;
    ZeroMemory(&record, sizeof(record));
    record.cbSize = NOTIFYICONDATAA_V2_SIZE;
    record.hWnd = owner;
    record.uID = id;
    return record;
}

} // namespace

ShellNotifyIconFunction RealShellNotifyIcon()
{
    static ShellNotifyIconFunction function = reinterpret_cast<ShellNotifyIconFunction>(
        GetProcAddress(LoadLibraryA("shell32.dll"), "Shell_NotifyIconA"));
    return function;
}

bool IsIconPresent(HWND owner, UINT id)
{
    NOTIFYICONDATAA record = RecordOf(owner, id);
    return RealShellNotifyIcon()(NIM_MODIFY, &record) != FALSE;
}

bool RemoveIcon(HWND owner, UINT id)
{
    NOTIFYICONDATAA record = RecordOf(owner, id);
    return RealShellNotifyIcon()(NIM_DELETE, &record) != FALSE;
}

void BroadcastTaskbarCreated()
{
    DWORD_PTR result = 0;
    SendMessageTimeoutA(HWND_BROADCAST, RegisterWindowMessageA("TaskbarCreated"), 0, 0, SMTO_ABORTIFHUNG, 5000,
                        &result);
}

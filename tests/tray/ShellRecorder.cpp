#include "tests/tray/ShellRecorder.h"

#include "tests/tray/TrayShell.h"

#include <cstdio>

namespace {

std::vector<std::string> g_calls;

const char* MessageName(DWORD message)
{
    switch (message) {
    case NIM_ADD:
        return "ADD";
    case NIM_MODIFY:
        return "MODIFY";
    case NIM_DELETE:
        return "DELETE";
    default:
        return "OTHER";
    }
}

// The text fields are read within their own size: a missing terminator shows as "<unterminated>".
std::string Field(const char* field, size_t size)
{
    size_t length = strnlen(field, size);
    return length == size ? "<unterminated>" : std::string(field, length);
}

BOOL WINAPI RecordingShellNotifyIcon(DWORD message, PNOTIFYICONDATAA data)
{
    BOOL result = RealShellNotifyIcon()(message, data);
    char numbers[256];
    std::snprintf(numbers, sizeof(numbers),
                  " size=%lu flags=%u window=%p id=%u callback=%u icon=%d timeout=%u infoflags=%lu result=%d",
                  static_cast<unsigned long>(data->cbSize), data->uFlags, static_cast<void*>(data->hWnd), data->uID,
                  data->uCallbackMessage, data->hIcon != nullptr, data->uTimeout,
                  static_cast<unsigned long>(data->dwInfoFlags), result != FALSE);
    g_calls.push_back(std::string(MessageName(message)) + numbers + " tip=[" + Field(data->szTip, sizeof(data->szTip)) +
                      "] info=[" + Field(data->szInfo, sizeof(data->szInfo)) + "] title=[" +
                      Field(data->szInfoTitle, sizeof(data->szInfoTitle)) + "]");
    return result;
}

} // namespace

// The import slot through which CSystemTray calls the shell. Defined here, it keeps the linker
// from taking the shell's own slot from the import library.
#ifdef _WIN64
extern "C" ShellNotifyIconFunction shellNotifyIconSlot __asm__("__imp_Shell_NotifyIconA");
#else
extern "C" ShellNotifyIconFunction shellNotifyIconSlot __asm__("__imp__Shell_NotifyIconA@8");
#endif
ShellNotifyIconFunction shellNotifyIconSlot = RecordingShellNotifyIcon;

std::vector<std::string> TakeShellCalls()
{
    std::vector<std::string> calls;
    calls.swap(g_calls);
    return calls;
}

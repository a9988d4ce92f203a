// floorhook: installs FloorHook.dll's window hook (the least a window-watching hook can do) for the
// whole desktop, so that a benchmark can set another hook's cost against that floor.
//
// It prints "ready" once the hook is installed, and keeps it installed until its input ends (or a
// line comes on it); it then prints "posted N", the number of reports its window received, and ends.
// Exit codes: 1 the library or its hook procedure was not found, 2 no window, 3 no hook.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "bench/FloorHook.h"

namespace {

HWND g_sink = nullptr;
unsigned long g_posted = 0;

LRESULT CALLBACK SinkProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_FLOOR_EVENT:
        ++g_posted;
        return 0;
    case WM_CLOSE:
        ::DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    default:
        return ::DefWindowProcA(window, message, wParam, lParam);
    }
}

// Reads the input on a thread of its own while the main thread pumps messages, and closes the
// window when the input ends or a line comes.
DWORD WINAPI WaitForInputEnd(void*)
{
    char line[64];
    std::fgets(line, sizeof line, stdin);
    ::PostMessageA(g_sink, WM_CLOSE, 0, 0);
    return 0;
}

} // namespace

int main()
{
    char path[MAX_PATH] = "";
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    char* slash = std::strrchr(path, '\\');
    if (!slash || static_cast<size_t>(slash + 1 - path) + sizeof "FloorHook.dll" > sizeof path)
        return 1;
    std::strcpy(slash + 1, "FloorHook.dll");
    HMODULE library = ::LoadLibraryA(path);
    HOOKPROC procedure = library ? reinterpret_cast<HOOKPROC>(::GetProcAddress(library, "FloorHookProc")) : nullptr;
    if (!procedure)
        return 1;

    HINSTANCE instance = ::GetModuleHandleA(nullptr);
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = SinkProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = FLOOR_HOOK_SINK_CLASS;
    ::RegisterClassA(&windowClass);
    g_sink = ::CreateWindowExA(0, FLOOR_HOOK_SINK_CLASS, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
    if (!g_sink)
        return 2;
    HHOOK hook = ::SetWindowsHookExA(WH_CBT, procedure, library, 0);
    if (!hook)
        return 3;
    std::printf("ready\n");
    std::fflush(stdout);

    HANDLE reader = ::CreateThread(nullptr, 0, WaitForInputEnd, nullptr, 0, nullptr);
    if (reader)
        ::CloseHandle(reader);
    else
        ::PostMessageA(g_sink, WM_CLOSE, 0, 0);
    MSG message;
    while (::GetMessageA(&message, nullptr, 0, 0) > 0)
        ::DispatchMessageA(&message);
    ::UnhookWindowsHookEx(hook);
    std::printf("posted %lu\n", g_posted);
    std::fflush(stdout);
    return 0;
}

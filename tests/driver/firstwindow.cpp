// firstwindow: a program whose first shown window announces a long operation, started before
// Lullcast: before that window, the process already has a hidden top-level window of its own
// (the one that COM makes for a single-threaded apartment, or a helper window of the program's).
//
//   firstwindow sta|hidden|mta|early LEFT TOP WIDTH HEIGHT TITLE
//
// It sets up its hidden window as asked (sta: CoInitialize; hidden: a hidden window of its own;
// mta: none) and says "ready". It then waits, busy with other work and reading no messages, until
// Lullcast's popup is there, and at once creates and shows the titled window, whose handle it
// prints. A line on its input, or the end of its input, ends it; its messages are pumped meanwhile.
//
// early: the titled window itself is made at start, hidden, and the program says "ready"; it is
// shown, and its handle printed, when a line comes on the input, and the next line ends the program.
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "hook/WatchMessages.h"

namespace {

const char kClass[] = "LullcastFirstWindow";
HANDLE g_lineRead = nullptr;

DWORD WINAPI ReadLines(void*)
{
    char line[256];
    while (std::fgets(line, sizeof line, stdin))
        ::SetEvent(g_lineRead);
    ::SetEvent(g_lineRead);
    return 0;
}

// Pumps the thread's messages until a line has been read, as a message loop does: what is queued
// is handled before the line is taken up.
void PumpUntilLine()
{
    for (;;) {
        const DWORD woke = ::MsgWaitForMultipleObjects(1, &g_lineRead, FALSE, INFINITE, QS_ALLINPUT);
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
        if (woke == WAIT_OBJECT_0)
            return;
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 7) {
        std::fprintf(stderr, "usage: firstwindow sta|hidden|mta|early LEFT TOP WIDTH HEIGHT TITLE\n");
        return 2;
    }
    const std::string mode = argv[1];
    std::string title = argv[6];
    for (int i = 7; i < argc; ++i)
        title += std::string(" ") + argv[i];

    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = ::DefWindowProcA;
    windowClass.hInstance = ::GetModuleHandleA(nullptr);
    windowClass.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kClass;
    if (!::RegisterClassA(&windowClass))
        return 1;

    if (mode == "sta") {
        if (FAILED(::CoInitialize(nullptr)))
            return 1;
    } else if (mode == "mta") {
        if (FAILED(::CoInitializeEx(nullptr, COINIT_MULTITHREADED)))
            return 1;
    } else if (mode == "early") {
        g_lineRead = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
        ::CloseHandle(::CreateThread(nullptr, 0, ReadLines, nullptr, 0, nullptr));
        HWND window = ::CreateWindowExA(0, kClass, title.c_str(), WS_OVERLAPPEDWINDOW, std::atoi(argv[2]),
                                        std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]), nullptr,
                                        nullptr, windowClass.hInstance, nullptr);
        if (!window)
            return 1;
        std::printf("ready\n");
        std::fflush(stdout);
        PumpUntilLine();
        // Like any program at work, it has a message to handle before it shows the window (Wine
        // tells a thread of hooks installed meanwhile only when it takes a message).
        ::PostMessageA(window, WM_NULL, 0, 0);
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            ::DispatchMessageA(&msg);
        ::ShowWindow(window, SW_SHOW);
        std::printf("%llu\n", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window)));
        std::fflush(stdout);
        PumpUntilLine();
        ::DestroyWindow(window);
        return 0;
    } else if (mode == "hidden") {
        if (!::CreateWindowExA(0, kClass, "Helper", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                               windowClass.hInstance, nullptr))
            return 1;
    } else {
        return 2;
    }

    g_lineRead = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
    ::CloseHandle(::CreateThread(nullptr, 0, ReadLines, nullptr, 0, nullptr));
    std::printf("ready\n");
    std::fflush(stdout);
    while (!::FindWindowA(nullptr, LULLCAST_MAIN_CAPTION))
        ::Sleep(5);

    HWND window = ::CreateWindowExA(0, kClass, title.c_str(), WS_OVERLAPPEDWINDOW, std::atoi(argv[2]),
                                    std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]), nullptr, nullptr,
                                    windowClass.hInstance, nullptr);
    if (!window)
        return 1;
    ::ShowWindow(window, SW_SHOW);
    ::UpdateWindow(window);
    std::printf("%llu\n", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window)));
    std::fflush(stdout);
    PumpUntilLine();
    ::DestroyWindow(window);
    return 0;
}

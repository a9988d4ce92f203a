// hookbench: creates and destroys top-level windows one after the other and prints how long that
// took, so that the cost a system-wide window hook adds to every program can be measured.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {
const char kClassName[] = "LullcastBenchWindow";

void pumpMessages()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

double nowMs()
{
    static LARGE_INTEGER frequency;
    if (!frequency.QuadPart)
        QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return counter.QuadPart * 1000.0 / frequency.QuadPart;
}
}

int main(int argc, char** argv)
{
    int count = argc > 1 ? std::atoi(argv[1]) : 2000;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kClassName;
    if (!RegisterClassA(&wc))
        return 1;

    double start = nowMs();
    for (int i = 0; i < count; ++i) {
        HWND window = CreateWindowExA(0, kClassName, "Bench window", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                      100 + i % 50, 100 + i % 40, 400, 200, nullptr, nullptr, instance, nullptr);
        if (!window)
            return 2;
        pumpMessages();
        DestroyWindow(window);
        pumpMessages();
    }
    double elapsed = nowMs() - start;
    std::printf("windows %d ms %.1f\n", count, elapsed);
    std::fflush(stdout);
    return 0;
}

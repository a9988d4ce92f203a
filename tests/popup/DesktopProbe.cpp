// DesktopProbe: the popup's desktop pieces under Wine, one question per run.
//   DesktopProbe link-bar          the link bar's text measured in the popup's link font at this
//                                  DPI, its layout, and where the control draws it:
//                                    "font DPI FACE", "pieces PREVIOUS NEXT FEED SEPARATOR WHOLE",
//                                    "layout WIDTH B0 E0 B1 E1 B2 E2 S0 T0 S1 T1 S2 T2" (words,
//                                    then separators), "line HEIGHT", "ink X-Y ..." (columns with
//                                    ink), "rows Y-Y" (the rows with ink)
//   DesktopProbe monitors          "monitor L T R B work L T R B", one line per monitor
//   DesktopProbe place L T R B H W the popup's place beside that window rectangle (height H,
//                                  least width W) on these monitors: "placed L T R B"
//   DesktopProbe quiet             "facts state=N foreground=KIND client=L,T,R,B
//                                  monitor=L,T,R,B quiet=0|1"
//   DesktopProbe cover [L T R B]   a borderless window over that rectangle (the primary monitor
//                                  by default), in front; prints "ready HWND", ends when
//                                  standard input ends
//   DesktopProbe cover-and-ask     the same window, then the facts as "quiet" prints them, from
//                                  this process
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fw/Monitors.h"
#include "fw/QuietFacts.h"
#include "fw/Win32Util.h"
#include "popup/LinkBarLayout.h"
#include "popup/LinkBarMetrics.h"
#include "popup/PopupPlacement.h"

namespace {

const char kClassName[] = "LullcastDesktopProbe";

void Print(const std::string& line)
{
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

std::string Numbers(const ScreenRect& rect, const char* between = " ")
{
    return std::to_string(rect.left) + between + std::to_string(rect.top) + between + std::to_string(rect.right)
           + between + std::to_string(rect.bottom);
}

// The parent paints the link bar on white, so that anything else is ink.
LRESULT CALLBACK ProbeWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CTLCOLORSTATIC) {
        ::SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
        return reinterpret_cast<LRESULT>(::GetStockObject(WHITE_BRUSH));
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateProbeWindow(DWORD style, DWORD exStyle, const RECT& place)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = &ProbeWindowProc;
    windowClass.hInstance = ::GetModuleHandleA(nullptr);
    windowClass.hbrBackground = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = kClassName;
    ::RegisterClassA(&windowClass);
    return ::CreateWindowExA(exStyle, kClassName, "Desktop probe", style, place.left, place.top,
                             place.right - place.left, place.bottom - place.top, nullptr, nullptr,
                             windowClass.hInstance, nullptr);
}

// Runs of indexes whose flag is set, as "A-B" (B outside).
std::string Runs(const std::vector<bool>& flags)
{
    std::string text;
    size_t start = 0;
    for (size_t i = 0; i <= flags.size(); ++i) {
        const bool set = i < flags.size() && flags[i];
        if (set && (i == 0 || !flags[i - 1]))
            start = i;
        if (!set && i > 0 && flags[i - 1])
            text += " " + std::to_string(start) + "-" + std::to_string(i);
    }
    return text;
}

int LinkBar()
{
    HWND window = CreateProbeWindow(WS_POPUP, WS_EX_TOOLWINDOW, {0, 0, 400, 100});
    HDC dc = ::GetDC(window);
    const int dpi = ::GetDeviceCaps(dc, LOGPIXELSY);
    ::ReleaseDC(window, dc);
    HFONT linkFont = CreateLinkBarFont(dpi);

    const char* text = "Previous | Next | Feed | ";
    HWND bar = ::CreateWindowExA(WS_EX_TRANSPARENT, "STATIC", text, WS_CHILD | WS_VISIBLE | SS_RIGHT | SS_NOTIFY, 0, 0,
                                 10, 10, window, nullptr, nullptr, nullptr);
    ::SendMessageA(bar, WM_SETFONT, reinterpret_cast<WPARAM>(linkFont), FALSE);
    const LinkBarPieceWidths pieces = MeasureLinkBarPieces(bar);

    HDC barDc = ::GetDC(bar);
    HGDIOBJ old = ::SelectObject(barDc, linkFont);
    SIZE whole = {};
    ::GetTextExtentPoint32A(barDc, text, static_cast<int>(std::strlen(text)), &whole);
    TEXTMETRICA metrics = {};
    ::GetTextMetricsA(barDc, &metrics);
    char face[LF_FACESIZE] = "";
    ::GetTextFaceA(barDc, LF_FACESIZE, face);
    ::SelectObject(barDc, old);
    ::ReleaseDC(bar, barDc);

    Print("font " + std::to_string(dpi) + " " + face);
    Print("pieces " + std::to_string(pieces.words[0]) + " " + std::to_string(pieces.words[1]) + " "
          + std::to_string(pieces.words[2]) + " " + std::to_string(pieces.separator) + " " + std::to_string(whole.cx));
    const LinkBarLayout layout = LayOutLinkBar(pieces, 300);
    std::string spans = "layout " + std::to_string(layout.width);
    for (const PixelSpan& word : layout.words)
        spans += " " + std::to_string(word.begin) + " " + std::to_string(word.end);
    for (const PixelSpan& separator : layout.separators)
        spans += " " + std::to_string(separator.begin) + " " + std::to_string(separator.end);
    Print(spans);
    Print("line " + std::to_string(metrics.tmHeight));

    // Twice the line's height, so that a wrapped line would show.
    const int width = layout.width, height = 2 * metrics.tmHeight;
    ::SetWindowPos(bar, nullptr, layout.left, 0, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    const BITMAPINFO info = TopDownBitmapInfo(width, height, 32);
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC memory = ::CreateCompatibleDC(nullptr);
    HGDIOBJ oldBitmap = ::SelectObject(memory, bitmap);
    RECT all = {0, 0, width, height};
    ::FillRect(memory, &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    ::SendMessageA(bar, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory), PRF_CLIENT | PRF_ERASEBKGND);
    ::GdiFlush();
    std::vector<bool> columns(width), rows(height);
    const auto* pixels = static_cast<const DWORD*>(bits);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if ((pixels[y * width + x] & 0xFFFFFF) != 0xFFFFFF)
                columns[x] = rows[y] = true;
    Print("ink" + Runs(columns));
    Print("rows" + Runs(rows));
    ::SelectObject(memory, oldBitmap);
    ::DeleteDC(memory);
    ::DeleteObject(bitmap);
    ::DestroyWindow(window);
    ::DeleteObject(linkFont);
    return 0;
}

int Monitors()
{
    for (const MonitorAreas& monitor : ReadMonitors())
        Print("monitor " + Numbers(monitor.monitor) + " work " + Numbers(monitor.work));
    return 0;
}

int Place(char** args)
{
    const ScreenRect watched = {std::atoi(args[0]), std::atoi(args[1]), std::atoi(args[2]), std::atoi(args[3])};
    Print("placed " + Numbers(PlacePopupBeside(watched, std::atoi(args[4]), std::atoi(args[5]), ReadMonitors())));
    return 0;
}

void PrintQuietFacts()
{
    const QuietFacts facts = ReadQuietFacts();
    const char* kinds[] = {"none", "this-process", "shell", "other-program"};
    Print("facts state=" + std::to_string(static_cast<int>(facts.state)) + " foreground="
          + kinds[static_cast<int>(facts.foreground)] + " client=" + Numbers(facts.foregroundClient, ",")
          + " monitor=" + Numbers(facts.foregroundMonitor, ",") + " quiet=" + (IsQuietTime(facts) ? "1" : "0"));
}

HWND Cover(int argc, char** argv)
{
    RECT place = {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    if (argc >= 4)
        place = {std::atoi(argv[0]), std::atoi(argv[1]), std::atoi(argv[2]), std::atoi(argv[3])};
    HWND window = CreateProbeWindow(WS_POPUP | WS_VISIBLE, 0, place);
    ::SetForegroundWindow(window);
    MSG message;
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
        ::DispatchMessageA(&message);
    return window;
}

DWORD WINAPI DrainInput(void* input)
{
    char sink[256];
    DWORD read = 0;
    while (::ReadFile(static_cast<HANDLE>(input), sink, sizeof sink, &read, nullptr) && read > 0) {
    }
    return 0;
}

// Keeps the window responsive until standard input ends.
void WaitForInputToEnd()
{
    HANDLE thread = ::CreateThread(nullptr, 0, &DrainInput, ::GetStdHandle(STD_INPUT_HANDLE), 0, nullptr);
    if (!thread)
        return;
    while (::MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0) {
        MSG message;
        while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            ::DispatchMessageA(&message);
    }
    ::CloseHandle(thread);
}

} // namespace

int main(int argc, char** argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "link-bar")
        return LinkBar();
    if (command == "monitors")
        return Monitors();
    if (command == "place" && argc == 8)
        return Place(argv + 2);
    if (command == "quiet") {
        PrintQuietFacts();
        return 0;
    }
    if (command == "cover") {
        HWND window = Cover(argc - 2, argv + 2);
        Print("ready " + std::to_string(reinterpret_cast<INT_PTR>(window)));
        WaitForInputToEnd();
        ::DestroyWindow(window);
        return 0;
    }
    if (command == "cover-and-ask") {
        HWND window = Cover(0, nullptr);
        PrintQuietFacts();
        ::DestroyWindow(window);
        return 0;
    }
    Print("usage: DesktopProbe link-bar | monitors | place L T R B H W | quiet | cover [L T R B] | cover-and-ask");
    return 2;
}

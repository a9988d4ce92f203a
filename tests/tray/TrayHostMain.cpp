// TrayHost: CSystemTray under Wine, and questions to the shell about the program's icon.
//   TrayHost api                       runs the tray through its cases and prints what happened:
//                                      "fact NAME=VALUE", "event CASE: ..." (what reached the
//                                      owner window) and "shell CASE: ..." (the shell calls)
//   TrayHost interactive [TEXT TITLE]  shows a magenta icon (and a balloon), prints "ready", then
//                                      each event as it comes; ends with exit code 0 when the
//                                      menu's Exit command arrives
//   TrayHost idle                      keeps the virtual desktop up (it closes with its last program)
//   TrayHost find CAPTION              the handle (decimal) of the top-level window so captioned, or 0
//   TrayHost present HANDLE ID         "present" or "absent": the icon ID of that window
//   TrayHost remove HANDLE ID          takes that icon away behind its program's back
//   TrayHost taskbar-created           broadcasts "TaskbarCreated"
//   TrayHost visible HANDLE            "visible", "hidden" or "none"
//   TrayHost menu-window               "LEFT TOP RIGHT BOTTOM" of the open popup menu, or "none"
//   TrayHost menu-of PATH ID           the menu resource ID of the module PATH: "popup NAME", then
//                                      "items TEXT|ID;..." ("-" for a separator)
#include "tests/tray/CTrayHostWindow.h"
#include "tests/tray/ShellRecorder.h"
#include "tests/tray/TrayShell.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

const UINT kIconId = 129;
const UINT kExitCommand = 32772;

void Print(const std::string& line)
{
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

void Fact(const char* name, long long value)
{
    Print(std::string("fact ") + name + "=" + std::to_string(value));
}

void PrintShellCalls(const char* scenario)
{
    for (const std::string& call : TakeShellCalls())
        Print(std::string("shell ") + scenario + ": " + call);
}

void PrintEvents(CTrayHostWindow& host, const char* scenario)
{
    for (const std::string& event : host.TakeEvents())
        Print(std::string("event ") + scenario + ": " + event);
}

void Pump()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

// A 16 x 16 icon of one colour that stands out on the taskbar.
HICON MakeMagentaIcon()
{
    const int size = 16;
    DWORD pixels[size * size];
    for (DWORD& pixel : pixels)
        pixel = 0xFFFF00FF;
    BYTE mask[size * size / 8] = {};
    ICONINFO info;
    ZeroMemory(&info, sizeof(info));
    info.fIcon = TRUE;
    info.hbmColor = CreateBitmap(size, size, 1, 32, pixels);
    info.hbmMask = CreateBitmap(size, size, 1, 1, mask);
    HICON icon = CreateIconIndirect(&info);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return icon;
}

LRESULT SendIconMessage(CTrayHostWindow& host, UINT id, UINT mouseMessage)
{
    return SendMessageA(host.Handle(), CTrayHostWindow::kCallbackMessage, id, mouseMessage);
}

// A visible window of another class takes the foreground, so that taking it back shows.
HWND MakeForegroundElsewhere(HINSTANCE instance)
{
    HWND other = CreateWindowExA(0, "STATIC", "elsewhere", WS_POPUP | WS_VISIBLE, 300, 300, 50, 50, nullptr,
                                 nullptr, instance, nullptr);
    SetForegroundWindow(other);
    Pump();
    return other;
}

void InstallCase(CTrayHostWindow& host, HINSTANCE instance, HICON icon)
{
    std::string tip(200, 't');
    tip[0] = 'T';
    Fact("install", host.Tray().Install(instance, host.Handle(), CTrayHostWindow::kCallbackMessage, tip.c_str(),
                                        icon, kIconId));
    Fact("present_after_install", IsIconPresent(host.Handle(), kIconId));
    HWND hidden = FindWindowA("TrayIconClass", nullptr);
    DWORD process = 0;
    GetWindowThreadProcessId(hidden, &process);
    Fact("hidden_window_ours", hidden != nullptr && process == GetCurrentProcessId());
    Fact("hidden_window_visible", hidden != nullptr && IsWindowVisible(hidden));
    Fact("hidden_window_is_popup", (GetWindowLongA(hidden, GWL_STYLE) & WS_POPUP) != 0);
    Fact("hidden_window_class_style", static_cast<long long>(GetClassLongA(hidden, GCL_STYLE)));
    PrintShellCalls("install");
}

void MouseCases(CTrayHostWindow& host, HINSTANCE instance)
{
    Fact("wrong_id_double_click", SendIconMessage(host, kIconId + 1, WM_LBUTTONDBLCLK));
    Fact("wrong_id_right_click", SendIconMessage(host, kIconId + 1, WM_RBUTTONUP));
    Fact("mouse_move", SendIconMessage(host, kIconId, WM_MOUSEMOVE));
    Fact("left_down", SendIconMessage(host, kIconId, WM_LBUTTONDOWN));
    Fact("left_up", SendIconMessage(host, kIconId, WM_LBUTTONUP));
    Fact("right_down", SendIconMessage(host, kIconId, WM_RBUTTONDOWN));
    Pump();
    PrintEvents(host, "other_mouse");

    HWND other = MakeForegroundElsewhere(instance);
    Fact("foreground_elsewhere", GetForegroundWindow() == other);
    Fact("double_click", SendIconMessage(host, kIconId, WM_LBUTTONDBLCLK));
    Fact("foreground_after_double_click", GetForegroundWindow() == host.Handle());
    PrintEvents(host, "double_click_before_pump");
    Pump();
    PrintEvents(host, "double_click");
    DestroyWindow(other);

    host.m_menuAction = CTrayHostWindow::DismissMenu;
    Fact("right_click_dismissed", SendIconMessage(host, kIconId, WM_RBUTTONUP));
    MSG message;
    Fact("null_posted", PeekMessageA(&message, host.Handle(), WM_NULL, WM_NULL, PM_REMOVE));
    Pump();
    PrintEvents(host, "right_click_dismissed");

    host.m_menuAction = CTrayHostWindow::TypeInMenu;
    host.m_menuKey = 'x';
    Fact("right_click_exit", SendIconMessage(host, kIconId, WM_RBUTTONUP));
    Pump();
    PrintEvents(host, "right_click_exit");
    PrintShellCalls("mouse");
}

void BalloonCases(CTrayHostWindow& host)
{
    std::string text(300, 'b');
    std::string title(80, 'h');
    Fact("balloon_long", host.Tray().DisplayBalloon(text.c_str(), title.c_str(), 0, 10));
    Fact("balloon_no_title", host.Tray().DisplayBalloon("Short text", nullptr, 1, 3));
    // A two-byte character across the text's limit and a three-byte one across the title's.
    std::string accented = std::string(254, 'a') + "\xC3\xA9" + "z";
    std::string euro = std::string(62, 'e') + "\xE2\x82\xAC";
    Fact("balloon_multibyte", host.Tray().DisplayBalloon(accented.c_str(), euro.c_str(), 0, 10));
    PrintShellCalls("balloons");
}

void TaskbarCreatedCases(CTrayHostWindow& host)
{
    Fact("removed_by_shell", RemoveIcon(host.Handle(), kIconId));
    Fact("present_after_shell_lost_it", IsIconPresent(host.Handle(), kIconId));
    BroadcastTaskbarCreated();
    Pump();
    Fact("present_after_taskbar_created", IsIconPresent(host.Handle(), kIconId));
    PrintShellCalls("taskbar_created");

    Fact("delete", host.Tray().DeleteIcon());
    Fact("present_after_delete", IsIconPresent(host.Handle(), kIconId));
    BroadcastTaskbarCreated();
    Pump();
    Fact("present_after_delete_and_taskbar_created", IsIconPresent(host.Handle(), kIconId));
    Fact("balloon_after_delete", host.Tray().DisplayBalloon("gone", "gone", 0, 10));
    PrintShellCalls("delete");
}

void DestructionCase(HINSTANCE instance, HICON icon)
{
    HWND owner = nullptr;
    {
        CTrayHostWindow host(instance);
        owner = host.Handle();
        host.Tray().Install(instance, owner, CTrayHostWindow::kCallbackMessage, "Tray host", icon, kIconId);
        Fact("present_before_destruction", IsIconPresent(owner, kIconId));
        TakeShellCalls();
    }
    Fact("present_after_destruction", IsIconPresent(owner, kIconId));
    Fact("hidden_window_after_destruction", FindWindowA("TrayIconClass", nullptr) != nullptr);
    PrintShellCalls("destruction");
}

void WithoutOwnerCase(HINSTANCE instance, HICON icon)
{
    CTrayHostWindow host(instance);
    host.Tray().Install(instance, nullptr, CTrayHostWindow::kCallbackMessage, "No owner", icon, kIconId);
    HWND hidden = FindWindowA("TrayIconClass", nullptr);
    Fact("ownerless_present", IsIconPresent(hidden, kIconId));
    Fact("ownerless_double_click", SendMessageA(hidden, CTrayHostWindow::kCallbackMessage, kIconId, WM_LBUTTONDBLCLK));
    MSG message;
    BOOL posted = PeekMessageA(&message, hidden, WM_COMMAND, WM_COMMAND, PM_REMOVE);
    Fact("ownerless_command", posted ? static_cast<long long>(message.wParam) : -1);
    PrintShellCalls("ownerless");
}

void MissingMenuCase(HINSTANCE instance, HICON icon)
{
    const UINT idWithoutMenu = 130;
    CTrayHostWindow host(instance);
    host.Tray().Install(instance, host.Handle(), CTrayHostWindow::kCallbackMessage, "No menu", icon, idWithoutMenu);
    Fact("no_menu_double_click", SendIconMessage(host, idWithoutMenu, WM_LBUTTONDBLCLK));
    Fact("no_menu_right_click", SendIconMessage(host, idWithoutMenu, WM_RBUTTONUP));
    Pump();
    PrintEvents(host, "no_menu");
    TakeShellCalls();
}

int RunApiCases()
{
    HINSTANCE instance = GetModuleHandleA(nullptr);
    HICON icon = MakeMagentaIcon();
    Fact("code_page", GetACP());
    {
        CTrayHostWindow host(instance);
        InstallCase(host, instance, icon);
        MouseCases(host, instance);
        BalloonCases(host);
        TaskbarCreatedCases(host);
    }
    TakeShellCalls();
    DestructionCase(instance, icon);
    WithoutOwnerCase(instance, icon);
    MissingMenuCase(instance, icon);
    Print("done");
    return 0;
}

int RunInteractive(const char* balloonText, const char* balloonTitle)
{
    HINSTANCE instance = GetModuleHandleA(nullptr);
    CTrayHostWindow host(instance);
    host.m_onEvent = [](const std::string& event) {
        Print("event " + event);
        if (event.rfind("command " + std::to_string(kExitCommand), 0) == 0)
            PostQuitMessage(0);
    };
    host.Tray().Install(instance, host.Handle(), CTrayHostWindow::kCallbackMessage, "Tray host", MakeMagentaIcon(),
                        kIconId);
    if (balloonText)
        host.Tray().DisplayBalloon(balloonText, balloonTitle, 0, 10);
    Print("ready");
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}

int RunMenuOf(const char* path, UINT id)
{
    HMODULE module = LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HMENU menu = module ? LoadMenuA(module, MAKEINTRESOURCEA(id)) : nullptr;
    if (!menu) {
        Print("none");
        return 1;
    }
    char name[64] = "";
    GetMenuStringA(menu, 0, name, sizeof(name), MF_BYPOSITION);
    Print(std::string("popup ") + name);
    Print("items " + CTrayHostWindow::DescribeMenu(GetSubMenu(menu, 0)));
    DestroyMenu(menu);
    return 0;
}

// A window of its own makes Wine bring up the desktop; the program then only waits.
int RunIdle()
{
    CTrayHostWindow window(GetModuleHandleA(nullptr));
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0)
        DispatchMessageA(&message);
    return 0;
}

HWND WindowArgument(const char* text)
{
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(std::strtoull(text, nullptr, 10)));
}

// The tray menu of any process while it is open: its screen rectangle.
int RunMenuWindow()
{
    HWND menu = FindWindowA(MAKEINTRESOURCEA(32768), nullptr);
    RECT rect;
    if (!menu || !IsWindowVisible(menu) || !GetWindowRect(menu, &rect)) {
        Print("none");
        return 0;
    }
    Print(std::to_string(rect.left) + " " + std::to_string(rect.top) + " " + std::to_string(rect.right) + " " +
          std::to_string(rect.bottom));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "api")
        return RunApiCases();
    if (mode == "interactive")
        return RunInteractive(argc > 3 ? argv[2] : nullptr, argc > 3 ? argv[3] : nullptr);
    if (mode == "idle")
        return RunIdle();
    if (mode == "find" && argc == 3) {
        Print(std::to_string(reinterpret_cast<uintptr_t>(FindWindowA(nullptr, argv[2]))));
        return 0;
    }
    if (mode == "present" && argc == 4) {
        Print(IsIconPresent(WindowArgument(argv[2]), static_cast<UINT>(std::atoi(argv[3]))) ? "present" : "absent");
        return 0;
    }
    if (mode == "remove" && argc == 4) {
        Print(RemoveIcon(WindowArgument(argv[2]), static_cast<UINT>(std::atoi(argv[3]))) ? "removed" : "failed");
        return 0;
    }
    if (mode == "taskbar-created") {
        BroadcastTaskbarCreated();
        Print("sent");
        return 0;
    }
    if (mode == "visible" && argc == 3) {
        HWND window = WindowArgument(argv[2]);
        Print(!IsWindow(window) ? "none" : IsWindowVisible(window) ? "visible" : "hidden");
        return 0;
    }
    if (mode == "menu-window")
        return RunMenuWindow();
    if (mode == "menu-of" && argc == 4)
        return RunMenuOf(argv[2], static_cast<UINT>(std::atoi(argv[3])));
    std::fprintf(stderr, "usage: see the head of TrayHostMain.cpp\n");
    return 2;
}

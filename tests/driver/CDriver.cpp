#include "tests/driver/CDriver.h"

#include "tests/driver/CDragSource.h"
#include "tests/driver/CWatchCommands.h"
#include "tests/driver/CWindowProbe.h"

#include <psapi.h>
#include <wininet.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {
const char kPopupCaption[] = "Lullcast - Idlewaven";
const UINT kSendTimeoutMs = 5000;
const std::string kNotOurs = "error not a window of the driver";
}

const std::map<std::string, CDriver::Handler> CDriver::s_commands = {
    {"create", &CDriver::create},
    {"destroy", &CDriver::destroy},
    {"destroyall", &CDriver::destroyAll},
    {"minimize", &CDriver::minimize},
    {"restore", &CDriver::restore},
    {"info", &CDriver::info},
    {"popup", &CDriver::popup},
    {"client", &CDriver::client},
    {"style", &CDriver::style},
    {"find", &CDriver::find},
    {"count", &CDriver::count},
    {"text", &CDriver::text},
    {"children", &CDriver::children},
    {"post", &CDriver::post},
    {"send", &CDriver::send},
    {"sendrect", &CDriver::sendRect},
    {"foreground", &CDriver::foreground},
    {"hittest", &CDriver::hitTest},
    {"hitpoint", &CDriver::hitPoint},
    {"settext", &CDriver::setText},
    {"focus", &CDriver::focus},
    {"listitems", &CDriver::listItems},
    {"menu", &CDriver::menu},
    {"dragtext", &CDriver::dragText},
    {"dragfiles", &CDriver::dragFiles},
    {"wtext", &CDriver::wideText},
    {"colours", &CDriver::colours},
    {"ink", &CDriver::ink},
    {"palette", &CDriver::palette},
    {"highcontrast", &CDriver::highContrast},
    {"syscolours", &CDriver::sysColours},
    {"tooltips", &CDriver::tooltips},
    {"mutex", &CDriver::mutex},
    {"procaddress", &CDriver::procAddress},
    {"dock", &CDriver::dock},
    {"follow", &CDriver::follow},
    {"get", &CDriver::get},
    {"resources", &CDriver::resources},
    {"workarea", &CDriver::workArea},
    {"quit", &CDriver::quit},
};

CDriver::CDriver(HINSTANCE instance) : m_instance(instance)
{
}

int CDriver::run()
{
    if (!m_windows.registerClass(m_instance) || !m_reader.start())
        return 1;
    reply("ok ready " + std::to_string(sizeof(void*) * 8));
    while (!m_quit) {
        HANDLE wake = m_reader.event();
        MsgWaitForMultipleObjects(1, &wake, FALSE, INFINITE, QS_ALLINPUT);
        pumpMessages();
        std::string line;
        while (!m_quit && m_reader.next(line)) {
            reply(execute(line));
            pumpMessages();
        }
        if (m_reader.finished())
            break;
    }
    m_windows.destroyAll();
    return 0;
}

void CDriver::pumpMessages()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

std::string CDriver::execute(const std::string& line)
{
    Args args(line);
    std::string command;
    args >> command;
    auto found = s_commands.find(command);
    if (found == s_commands.end()) {
        std::string answer;
        if (CWatchCommands(m_windows).execute(command, args, answer))
            return answer;
        return "error unknown command: " + command;
    }
    return (this->*found->second)(args);
}

// create X Y WIDTH HEIGHT [TITLE] -> HWND: a visible WS_OVERLAPPEDWINDOW; the title may be empty
std::string CDriver::create(Args& args)
{
    int x = 0, y = 0, width = 0, height = 0;
    if (!(args >> x >> y >> width >> height))
        return "error usage: create X Y WIDTH HEIGHT [TITLE]";
    HWND window = m_windows.create(restOfLine(args), x, y, width, height);
    return window ? "ok " + number(window) : "error CreateWindowEx " + std::to_string(GetLastError());
}

// destroy HWND
std::string CDriver::destroy(Args& args)
{
    return m_windows.destroy(readWindow(args)) ? "ok" : kNotOurs;
}

// destroyall -> how many windows were destroyed
std::string CDriver::destroyAll(Args&)
{
    return "ok " + std::to_string(m_windows.destroyAll());
}

// minimize HWND
std::string CDriver::minimize(Args& args)
{
    return m_windows.show(readWindow(args), SW_MINIMIZE) ? "ok" : kNotOurs;
}

// restore HWND
std::string CDriver::restore(Args& args)
{
    return m_windows.show(readWindow(args), SW_RESTORE) ? "ok" : kNotOurs;
}

// info HWND -> HWND VISIBLE TOPMOST ICONIC LEFT TOP RIGHT BOTTOM PROCESS, or "gone"
std::string CDriver::info(Args& args)
{
    return windowInfo(readWindow(args));
}

// popup -> the same about the window captioned as Lullcast's popup, or "none"
std::string CDriver::popup(Args&)
{
    HWND window = CWindowProbe::findTopLevel(kPopupCaption);
    return window ? windowInfo(window) : "ok none";
}

// client HWND -> LEFT TOP RIGHT BOTTOM of the client area, in screen coordinates
std::string CDriver::client(Args& args)
{
    HWND window = readWindow(args);
    RECT area;
    if (!GetClientRect(window, &area))
        return "error no such window";
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&area), 2);
    return "ok " + rectText(area);
}

// style HWND -> STYLE EXTENDED-STYLE
std::string CDriver::style(Args& args)
{
    HWND window = readWindow(args);
    return "ok " + std::to_string(static_cast<unsigned long>(GetWindowLongA(window, GWL_STYLE))) + " " +
           std::to_string(static_cast<unsigned long>(GetWindowLongA(window, GWL_EXSTYLE)));
}

// find TITLE -> HWND of a top-level window with exactly that title, or 0
std::string CDriver::find(Args& args)
{
    return "ok " + number(CWindowProbe::findTopLevel(restOfLine(args)));
}

// count TITLE -> WINDOWS PROCESSES: top-level windows with exactly that title, and their owners
std::string CDriver::count(Args& args)
{
    CWindowProbe::Counts counts = CWindowProbe::countTopLevel(restOfLine(args));
    return "ok " + std::to_string(counts.windows) + " " + std::to_string(counts.processes);
}

// text HWND ID -> the text of the dialog's control ID, escaped
std::string CDriver::text(Args& args)
{
    HWND dialog = readWindow(args);
    int id = 0;
    args >> id;
    std::string result;
    return CWindowProbe::controlText(dialog, id, result) ? "ok " + escape(result) : "error no such control";
}

// children HWND -> "HWND ID CLASS TEXT" per child window, tab-separated, class and text escaped
std::string CDriver::children(Args& args)
{
    std::string result = "ok ";
    bool first = true;
    for (const CWindowProbe::Child& child : CWindowProbe::children(readWindow(args))) {
        result += first ? "" : "\t";
        result += number(child.window) + " " + std::to_string(child.id) + " " + escape(child.className) + " " +
                  escape(child.text);
        first = false;
    }
    return result;
}

// post HWND MESSAGE WPARAM LPARAM -> 1 or 0
std::string CDriver::post(Args& args)
{
    HWND window = readWindow(args);
    unsigned long long message = 0, wParam = 0;
    long long lParam = 0;
    args >> message >> wParam >> lParam;
    BOOL posted = PostMessageA(window, static_cast<UINT>(message), static_cast<WPARAM>(wParam),
                               static_cast<LPARAM>(lParam));
    return posted ? "ok 1" : "ok 0";
}

// send HWND MESSAGE WPARAM LPARAM -> the result; an error if the window does not answer in time
std::string CDriver::send(Args& args)
{
    HWND window = readWindow(args);
    unsigned long long message = 0, wParam = 0;
    long long lParam = 0;
    args >> message >> wParam >> lParam;
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(window, static_cast<UINT>(message), static_cast<WPARAM>(wParam),
                             static_cast<LPARAM>(lParam), SMTO_ABORTIFHUNG, kSendTimeoutMs, &result))
        return "error SendMessageTimeout " + std::to_string(GetLastError());
    return "ok " + std::to_string(static_cast<unsigned long long>(result));
}

// sendrect HWND MSG WPARAM L T R B -> the result of sending the message with a pointer to that
// RECT, written into the window's own process first (as the system does for WM_DPICHANGED)
std::string CDriver::sendRect(Args& args)
{
    HWND window = readWindow(args);
    unsigned long long message = 0, wParam = 0;
    RECT rect = {};
    args >> message >> wParam >> rect.left >> rect.top >> rect.right >> rect.bottom;
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, processId);
    if (!process)
        return "error OpenProcess " + std::to_string(GetLastError());
    void* remote = VirtualAllocEx(process, nullptr, sizeof rect, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    std::string answer;
    DWORD_PTR result = 0;
    if (!remote || !WriteProcessMemory(process, remote, &rect, sizeof rect, nullptr))
        answer = "error VirtualAllocEx " + std::to_string(GetLastError());
    else if (!SendMessageTimeoutA(window, static_cast<UINT>(message), static_cast<WPARAM>(wParam),
                                  reinterpret_cast<LPARAM>(remote), SMTO_ABORTIFHUNG, kSendTimeoutMs, &result))
        answer = "error SendMessageTimeout " + std::to_string(GetLastError());
    else
        answer = "ok " + std::to_string(static_cast<unsigned long long>(result));
    if (remote)
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    return answer;
}

// foreground HWND -> the HWND of the foreground window afterwards
std::string CDriver::foreground(Args& args)
{
    SetForegroundWindow(readWindow(args));
    return "ok " + number(GetForegroundWindow());
}

// hittest HWND X Y -> the window's answer to WM_NCHITTEST at that screen point
std::string CDriver::hitTest(Args& args)
{
    HWND window = readWindow(args);
    int x = 0, y = 0;
    args >> x >> y;
    return "ok " + std::to_string(CWindowProbe::hitTest(window, x, y));
}

// hitpoint HWND CODE -> X Y: a screen point well inside the area where the window answers CODE
std::string CDriver::hitPoint(Args& args)
{
    HWND window = readWindow(args);
    int code = 0;
    args >> code;
    POINT point;
    if (!CWindowProbe::findHitPoint(window, code, point))
        return "error no point with that hit-test code";
    return "ok " + std::to_string(point.x) + " " + std::to_string(point.y);
}

// settext HWND TEXT -> 1 or 0: sets a window's text (escaped as the answers are) with WM_SETTEXT
std::string CDriver::setText(Args& args)
{
    HWND window = readWindow(args);
    const std::string text = unescape(restOfLine(args));
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG,
                             kSendTimeoutMs, &result))
        return "error SendMessageTimeout " + std::to_string(GetLastError());
    return result ? "ok 1" : "ok 0";
}

// focus HWND -> the HWND that has the keyboard focus in the thread owning the window, or 0
std::string CDriver::focus(Args& args)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(readWindow(args), nullptr), &info))
        return "ok 0";
    return "ok " + number(info.hwndFocus);
}

// listitems HWND -> the items of a list box, each escaped, tab-separated. The items are read as
// UTF-16 (Wine hands another process's narrow LB_GETTEXT over in UTF-16) and given in the ANSI code page.
std::string CDriver::listItems(Args& args)
{
    HWND list = readWindow(args);
    DWORD_PTR count = 0;
    if (!SendMessageTimeoutW(list, LB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &count))
        return "error SendMessageTimeout " + std::to_string(GetLastError());
    std::string result = "ok ";
    for (int i = 0; i < static_cast<int>(static_cast<LRESULT>(count)); ++i) {
        DWORD_PTR length = 0;
        SendMessageTimeoutW(list, LB_GETTEXTLEN, i, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &length);
        std::wstring wide(static_cast<size_t>(length) + 1, L'\0');
        DWORD_PTR copied = 0;
        SendMessageTimeoutW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(&wide[0]), SMTO_ABORTIFHUNG,
                            kSendTimeoutMs, &copied);
        wide.resize(static_cast<LRESULT>(copied) > 0 ? static_cast<size_t>(copied) : 0);
        std::string text;
        if (!wide.empty()) {
            const int size = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                                 nullptr, nullptr);
            text.resize(static_cast<size_t>(size));
            WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), &text[0], size, nullptr,
                                nullptr);
        }
        result += (i ? "\t" : "") + escape(text);
    }
    return result;
}

// wtext HWND ID -> the text of the dialog's control ID (of the window itself for ID 0) as UTF-8,
// escaped: read as UTF-16, so that any text survives whatever the code pages of the two programs
std::string CDriver::wideText(Args& args)
{
    HWND window = readWindow(args);
    int id = 0;
    args >> id;
    if (id)
        window = GetDlgItem(window, id);
    std::string text;
    return window && CWindowProbe::readWideText(window, text) ? "ok " + escape(text) : "error no such window";
}

// colours HWND -> how many different colours the window shows on the screen (at most 1000)
std::string CDriver::colours(Args& args)
{
    return "ok " + std::to_string(CWindowProbe::countColours(readWindow(args), 1000));
}

// ink HWND -> "B-E B-E ...": the column ranges of the window that show ink on its background
std::string CDriver::ink(Args& args)
{
    std::string answer = "ok";
    for (const auto& run : CWindowProbe::inkColumns(readWindow(args)))
        answer += " " + std::to_string(run.first) + "-" + std::to_string(run.second);
    return answer;
}

// palette HWND -> "RRGGBB:N ...": the window's colours on the screen with their pixel counts,
// most first, at most 16
std::string CDriver::palette(Args& args)
{
    std::string answer = "ok";
    char colour[16];
    for (const auto& entry : CWindowProbe::colourCounts(readWindow(args), 16)) {
        std::snprintf(colour, sizeof colour, "%06lX", static_cast<unsigned long>(entry.first));
        answer += " " + std::string(colour) + ":" + std::to_string(entry.second);
    }
    return answer;
}

// highcontrast 0|1 -> high contrast turned off or on through SystemParametersInfo, every
// top-level window told (WM_SETTINGCHANGE)
std::string CDriver::highContrast(Args& args)
{
    int on = 0;
    args >> on;
    HIGHCONTRASTA contrast = {};
    contrast.cbSize = sizeof contrast;
    contrast.dwFlags = HCF_AVAILABLE | (on ? HCF_HIGHCONTRASTON : 0);
    return SystemParametersInfoA(SPI_SETHIGHCONTRAST, sizeof contrast, &contrast, SPIF_UPDATEINIFILE | SPIF_SENDCHANGE)
        ? "ok" : "error " + std::to_string(GetLastError());
}

// syscolours INDEX RRGGBB ... -> the system colours set (SetSysColors, which tells every window)
std::string CDriver::sysColours(Args& args)
{
    std::vector<INT> indexes;
    std::vector<COLORREF> values;
    int index = 0;
    std::string hex;
    while (args >> index >> hex) {
        const unsigned long rgb = std::strtoul(hex.c_str(), nullptr, 16);
        indexes.push_back(index);
        values.push_back(RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF));
    }
    if (indexes.empty())
        return "error no colours";
    return SetSysColors(static_cast<int>(indexes.size()), indexes.data(), values.data()) ? "ok"
                                                                                         : "error " + std::to_string(GetLastError());
}

// tooltips -> the texts of the visible tooltip windows on the desktop (the shell's balloons
// among them), as UTF-8, escaped and tab-separated
std::string CDriver::tooltips(Args&)
{
    std::string result = "ok ";
    bool first = true;
    for (const std::string& text : CWindowProbe::visibleTooltipTexts()) {
        result += (first ? "" : "\t") + escape(text);
        first = false;
    }
    return result;
}

// menu -> LEFT TOP RIGHT BOTTOM of the open popup menu, or "none". (Its items cannot be read from
// another process under Wine: the menu handle is the owner's.)
std::string CDriver::menu(Args&)
{
    HWND window = FindWindowA("#32768", nullptr);
    RECT rect;
    if (!window || !IsWindowVisible(window) || !GetWindowRect(window, &rect))
        return "ok none";
    return "ok " + rectText(rect);
}

// dragtext z|bare TEXT -> "ok dragging" at once, then RESULT EFFECT when the drag ends: drags the
// text (escaped; with or without a terminating NUL in its block) while the left button is held,
// as a browser does with a link; the caller moves the mouse and lets go
std::string CDriver::dragText(Args& args)
{
    std::string mode;
    if (!(args >> mode) || (mode != "z" && mode != "bare"))
        return "error usage: dragtext z|bare TEXT";
    CDragSource source(unescape(restOfLine(args)), mode == "z");
    return runDrag(source);
}

// dragfiles PATHS -> "ok dragging" at once, then RESULT EFFECT when the drag ends: drags files
// (their full paths, escaped, one to a line) as a file manager does
std::string CDriver::dragFiles(Args& args)
{
    std::vector<std::string> files;
    const std::string paths = unescape(restOfLine(args));
    for (size_t start = 0; start < paths.size();) {
        const size_t end = std::min(paths.find('\n', start), paths.size());
        if (end > start)
            files.push_back(paths.substr(start, end - start));
        start = end + 1;
    }
    if (files.empty())
        return "error usage: dragfiles PATHS";
    CDragSource source(files);
    return runDrag(source);
}

std::string CDriver::runDrag(CDragSource& source)
{
    // OLE only for the length of the drag: with OLE kept initialised, the popup no longer came to
    // the driver's windows.
    if (FAILED(OleInitialize(nullptr)))
        return "error OleInitialize";
    DWORD effect = 0;
    reply("ok dragging");
    const HRESULT result = source.drag(effect);
    OleUninitialize();
    char answer[64];
    wsprintfA(answer, "ok %08lx %lu", static_cast<unsigned long>(result), static_cast<unsigned long>(effect));
    return answer;
}

namespace {
double millisecondsSince(const LARGE_INTEGER& start)
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}
} // namespace

// dock TIMEOUT-MS X Y WIDTH HEIGHT TITLE -> HWND MS: creates a window and measures how long it takes
// until Lullcast's popup is visible right below it, as wide; MS is -1 after the timeout
std::string CDriver::dock(Args& args)
{
    int timeout = 0, x = 0, y = 0, width = 0, height = 0;
    if (!(args >> timeout >> x >> y >> width >> height))
        return "error usage: dock TIMEOUT-MS X Y WIDTH HEIGHT TITLE";
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    HWND window = m_windows.create(restOfLine(args), x, y, width, height);
    if (!window)
        return "error CreateWindowEx " + std::to_string(GetLastError());
    HWND popup = CWindowProbe::findTopLevel(kPopupCaption);
    double elapsed = -1;
    while (millisecondsSince(start) < timeout) {
        pumpMessages();
        RECT watched, placed;
        if (popup && IsWindowVisible(popup) && GetWindowRect(window, &watched) && GetWindowRect(popup, &placed) &&
            placed.left == watched.left && placed.top == watched.bottom &&
            placed.right - placed.left == watched.right - watched.left) {
            elapsed = millisecondsSince(start);
            break;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
    }
    return "ok " + number(window) + " " + std::to_string(elapsed);
}

// follow TIMEOUT-MS HWND X Y -> MS: moves the watched window (without the events a user's move
// raises), posts WM_WATCH_PLACE for it to the popup and measures how long the popup takes to stand
// below it again: the time a message posted to the popup waits until it is handled, and its
// handling; MS is -1 after the timeout
std::string CDriver::follow(Args& args)
{
    int timeout = 0, x = 0, y = 0;
    HWND window = nullptr;
    if (!(args >> timeout) || !(window = readWindow(args)) || !(args >> x >> y))
        return "error usage: follow TIMEOUT-MS HWND X Y";
    HWND popup = CWindowProbe::findTopLevel(kPopupCaption);
    if (!popup)
        return "error no popup";
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    PostMessageA(popup, 0x0402, reinterpret_cast<WPARAM>(window), 0); // WM_WATCH_PLACE
    double elapsed = -1;
    while (millisecondsSince(start) < timeout) {
        pumpMessages();
        RECT watched, placed;
        if (GetWindowRect(window, &watched) && GetWindowRect(popup, &placed) && placed.left == watched.left
            && placed.top == watched.bottom) {
            elapsed = millisecondsSince(start);
            break;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
    }
    return "ok " + std::to_string(elapsed);
}

// get URL -> BYTES MS: a plain WinINet GET of the URL and its whole body
std::string CDriver::get(Args& args)
{
    const std::string url = restOfLine(args);
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    HINTERNET session = InternetOpenA("lcdriver", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    HINTERNET file = session ? InternetOpenUrlA(session, url.c_str(), nullptr, 0, INTERNET_FLAG_TRANSFER_BINARY, 1)
                             : nullptr;
    size_t total = 0;
    char buffer[8192];
    DWORD read = 0;
    while (file && InternetReadFile(file, buffer, sizeof buffer, &read) && read)
        total += read;
    const double elapsed = millisecondsSince(start);
    if (file)
        InternetCloseHandle(file);
    if (session)
        InternetCloseHandle(session);
    return file ? "ok " + std::to_string(total) + " " + std::to_string(elapsed) : "error GET failed";
}

// resources PID -> USER-OBJECTS GDI-OBJECTS PRIVATE-BYTES HANDLES of that process
std::string CDriver::resources(Args& args)
{
    unsigned long id = 0;
    args >> id;
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id);
    if (!process)
        return "error OpenProcess " + std::to_string(GetLastError());
    PROCESS_MEMORY_COUNTERS_EX memory = {};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory);
    DWORD handles = 0;
    GetProcessHandleCount(process, &handles);
    const std::string result = "ok " + std::to_string(GetGuiResources(process, GR_USEROBJECTS)) + " " +
                               std::to_string(GetGuiResources(process, GR_GDIOBJECTS)) + " " +
                               std::to_string(static_cast<unsigned long long>(memory.PrivateUsage)) + " " +
                               std::to_string(handles);
    CloseHandle(process);
    return result;
}

// workarea -> LEFT TOP RIGHT BOTTOM
std::string CDriver::workArea(Args&)
{
    RECT area;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    return "ok " + rectText(area);
}

// mutex NAME -> 1 or 0: whether a mutex of that name exists in the session
std::string CDriver::mutex(Args& args)
{
    const std::string name = restOfLine(args);
    std::wstring wide(name.begin(), name.end());
    HANDLE found = OpenMutexW(SYNCHRONIZE, FALSE, wide.c_str());
    if (found)
        CloseHandle(found);
    return found ? "ok 1" : "ok 0";
}

// procaddress MODULE FUNCTION -> the function's address in the driver, as a signed number; a system
// library lies at the same address in every process of the session
std::string CDriver::procAddress(Args& args)
{
    std::string module, function;
    args >> module >> function;
    HMODULE loaded = GetModuleHandleA(module.c_str());
    FARPROC address = loaded ? GetProcAddress(loaded, function.c_str()) : nullptr;
    if (!address)
        return "error no such function";
    return "ok " + std::to_string(static_cast<long long>(reinterpret_cast<INT_PTR>(address)));
}

// quit: destroys the driver's windows and ends
std::string CDriver::quit(Args&)
{
    m_quit = true;
    return "ok";
}

std::string CDriver::windowInfo(HWND window)
{
    RECT rect;
    if (!IsWindow(window) || !GetWindowRect(window, &rect))
        return "ok gone";
    return "ok " + number(window) + " " + std::to_string(IsWindowVisible(window) ? 1 : 0) + " " +
           std::to_string(CWindowProbe::isTopmost(window) ? 1 : 0) + " " + std::to_string(IsIconic(window) ? 1 : 0) +
           " " + rectText(rect) + " " + std::to_string(CWindowProbe::processOf(window));
}

void CDriver::reply(const std::string& text)
{
    std::string line = text + "\n";
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD written = 0;
    WriteFile(output, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    FlushFileBuffers(output);
}

HWND CDriver::readWindow(Args& args)
{
    unsigned long long value = 0;
    args >> value;
    return reinterpret_cast<HWND>(static_cast<UINT_PTR>(value));
}

std::string CDriver::restOfLine(Args& args)
{
    std::string rest;
    std::getline(args, rest);
    if (!rest.empty() && rest.front() == ' ')
        rest.erase(0, 1);
    return rest;
}

std::string CDriver::escape(const std::string& text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default: out += c;
        }
    }
    return out;
}

std::string CDriver::unescape(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        switch (text[++i]) {
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        default: out += text[i];
        }
    }
    return out;
}

std::string CDriver::number(HWND window)
{
    return std::to_string(static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window)));
}

std::string CDriver::rectText(const RECT& rect)
{
    return std::to_string(rect.left) + " " + std::to_string(rect.top) + " " + std::to_string(rect.right) + " " +
           std::to_string(rect.bottom);
}

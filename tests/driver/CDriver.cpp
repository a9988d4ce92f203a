#include "tests/driver/CDriver.h"

#include "tests/driver/CWatchCommands.h"
#include "tests/driver/CWindowProbe.h"

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
    {"foreground", &CDriver::foreground},
    {"hittest", &CDriver::hitTest},
    {"hitpoint", &CDriver::hitPoint},
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

// workarea -> LEFT TOP RIGHT BOTTOM
std::string CDriver::workArea(Args&)
{
    RECT area;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    return "ok " + rectText(area);
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

std::string CDriver::number(HWND window)
{
    return std::to_string(static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window)));
}

std::string CDriver::rectText(const RECT& rect)
{
    return std::to_string(rect.left) + " " + std::to_string(rect.top) + " " + std::to_string(rect.right) + " " +
           std::to_string(rect.bottom);
}

#include "tests/driver/CWatchCommands.h"

#include <tlhelp32.h>

#include <vector>

namespace {
const wchar_t kHookWindowClass[] = L"LullcastWatchHook";
const char kPopupCaption[] = "Lullcast - Idlewaven";

std::string Number(HWND window)
{
    return std::to_string(static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window)));
}

HWND ReadWindow(std::istringstream& args)
{
    unsigned long long value = 0;
    args >> value;
    return reinterpret_cast<HWND>(static_cast<UINT_PTR>(value));
}

std::string RestOfLine(std::istringstream& args)
{
    std::string rest;
    std::getline(args, rest);
    if (!rest.empty() && rest.front() == ' ')
        rest.erase(0, 1);
    return rest;
}

std::wstring FromUtf8(const std::string& text)
{
    std::wstring wide(text.size() + 1, L'\0');
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0],
                                           static_cast<int>(wide.size()));
    wide.resize(length > 0 ? length : 0);
    return wide;
}

struct Impostor {
    DWORD milliseconds;
    HANDLE created;
    HWND window;
};

DWORD WINAPI ImpostorThread(void* parameter)
{
    Impostor* impostor = static_cast<Impostor*>(parameter);
    const DWORD milliseconds = impostor->milliseconds;
    HWND window = CreateWindowExA(0, "STATIC", kPopupCaption, WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    impostor->window = window;
    SetEvent(impostor->created); // from here on the impostor record belongs to the caller
    Sleep(milliseconds);         // a window whose thread answers nothing
    if (window)
        DestroyWindow(window);
    return 0;
}
}

bool CWatchCommands::execute(const std::string& command, std::istringstream& args, std::string& answer)
{
    if (command == "createquiet")
        answer = createQuiet(args);
    else if (command == "cover")
        answer = cover(args);
    else if (command == "settitle")
        answer = setTitle(args);
    else if (command == "hookwindows")
        answer = hookWindows(args);
    else if (command == "suspend")
        answer = suspend(args, false);
    else if (command == "resume")
        answer = suspend(args, true);
    else if (command == "thread") // thread HWND -> the id of the thread that owns the window (0 if none)
        answer = "ok " + std::to_string(GetWindowThreadProcessId(ReadWindow(args), nullptr));
    else if (command == "processes")
        answer = processes(args);
    else if (command == "terminate")
        answer = terminate(args);
    else if (command == "crash")
        answer = crash(args);
    else if (command == "restartsettings")
        answer = restartSettings(args);
    else if (command == "impostor")
        answer = impostor(args);
    else
        return false;
    return true;
}

// createquiet X Y WIDTH HEIGHT [TITLE] -> HWND: like create, but shown without being activated
std::string CWatchCommands::createQuiet(std::istringstream& args)
{
    int x = 0, y = 0, width = 0, height = 0;
    if (!(args >> x >> y >> width >> height))
        return "error usage: createquiet X Y WIDTH HEIGHT [TITLE]";
    HWND window = m_windows.create(RestOfLine(args), x, y, width, height, false);
    return window ? "ok " + Number(window) : "error CreateWindowEx " + std::to_string(GetLastError());
}

// cover [X Y WIDTH HEIGHT] -> HWND: a borderless window over that rectangle (the whole primary
// screen by default), in the foreground; destroy ends it
std::string CWatchCommands::cover(std::istringstream& args)
{
    int x = 0, y = 0, width = 0, height = 0;
    if (!(args >> x >> y >> width >> height)) {
        x = y = 0;
        width = GetSystemMetrics(SM_CXSCREEN);
        height = GetSystemMetrics(SM_CYSCREEN);
    }
    HWND window = m_windows.cover(x, y, width, height);
    return window ? "ok " + Number(window) : "error CreateWindowEx " + std::to_string(GetLastError());
}

// settitle HWND TEXT: sets the title of any window; TEXT is UTF-8
std::string CWatchCommands::setTitle(std::istringstream& args)
{
    HWND window = ReadWindow(args);
    return SetWindowTextW(window, FromUtf8(RestOfLine(args)).c_str()) ? "ok" : "error SetWindowText failed";
}

// hookwindows -> "HWND PROCESS THREAD" per window of the watch-hook threads, tab-separated
std::string CWatchCommands::hookWindows(std::istringstream&)
{
    std::string result = "ok ";
    HWND window = nullptr;
    bool first = true;
    while ((window = FindWindowExW(HWND_MESSAGE, window, kHookWindowClass, nullptr)) != nullptr) {
        DWORD process = 0;
        const DWORD thread = GetWindowThreadProcessId(window, &process);
        result += (first ? "" : "\t") + Number(window) + " " + std::to_string(process) + " " + std::to_string(thread);
        first = false;
    }
    return result;
}

// suspend HWND / resume HWND: stops or lets go on the thread that owns the window
std::string CWatchCommands::suspend(std::istringstream& args, bool resume)
{
    const DWORD threadId = GetWindowThreadProcessId(ReadWindow(args), nullptr);
    HANDLE thread = threadId ? OpenThread(THREAD_SUSPEND_RESUME, FALSE, threadId) : nullptr;
    if (!thread)
        return "error OpenThread " + std::to_string(GetLastError());
    const DWORD count = resume ? ResumeThread(thread) : SuspendThread(thread);
    CloseHandle(thread);
    return count == static_cast<DWORD>(-1) ? "error " + std::to_string(GetLastError()) : "ok";
}

// processes NAME -> how many processes run the executable NAME (case-insensitive)
std::string CWatchCommands::processes(std::istringstream& args)
{
    const std::string name = RestOfLine(args);
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return "error CreateToolhelp32Snapshot " + std::to_string(GetLastError());
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        count += lstrcmpiA(entry.szExeFile, name.c_str()) == 0 ? 1 : 0;
    CloseHandle(snapshot);
    return "ok " + std::to_string(count);
}

// terminate PROCESS: ends the process at once, as a user ending it from the task list does
std::string CWatchCommands::terminate(std::istringstream& args)
{
    unsigned long id = 0;
    args >> id;
    HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, id);
    if (!process)
        return "error OpenProcess " + std::to_string(GetLastError());
    const BOOL ended = TerminateProcess(process, 1);
    CloseHandle(process);
    return ended ? "ok" : "error TerminateProcess " + std::to_string(GetLastError());
}

// crash PROCESS: starts a thread in the process at an address in the first page, which is never
// mapped, so that the process meets an access violation that none of its code handles
std::string CWatchCommands::crash(std::istringstream& args)
{
    unsigned long id = 0;
    args >> id;
    HANDLE process = OpenProcess(PROCESS_CREATE_THREAD | PROCESS_QUERY_INFORMATION | PROCESS_VM_OPERATION |
                                     PROCESS_VM_WRITE | PROCESS_VM_READ, FALSE, id);
    if (!process)
        return "error OpenProcess " + std::to_string(GetLastError());
    const auto kNowhere = reinterpret_cast<LPTHREAD_START_ROUTINE>(static_cast<UINT_PTR>(0x10));
    HANDLE thread = CreateRemoteThread(process, nullptr, 0, kNowhere, nullptr, 0, nullptr);
    const DWORD error = GetLastError();
    CloseHandle(process);
    if (!thread)
        return "error CreateRemoteThread " + std::to_string(error);
    CloseHandle(thread);
    return "ok";
}

// restartsettings PROCESS -> FLAGS COMMANDLINE: what the process registered to be restarted with,
// or "error HRESULT" (hexadecimal) when it registered nothing or it cannot be read
std::string CWatchCommands::restartSettings(std::istringstream& args)
{
    unsigned long id = 0;
    args >> id;
    HANDLE process = OpenProcess(PROCESS_VM_READ | PROCESS_QUERY_INFORMATION, FALSE, id);
    if (!process)
        return "error OpenProcess " + std::to_string(GetLastError());
    wchar_t commandLine[RESTART_MAX_CMD_LINE] = L"";
    DWORD size = RESTART_MAX_CMD_LINE;
    DWORD flags = 0;
    const HRESULT result = GetApplicationRestartSettings(process, commandLine, &size, &flags);
    CloseHandle(process);
    if (FAILED(result)) {
        char text[16];
        wsprintfA(text, "%08lx", static_cast<unsigned long>(result));
        return std::string("error ") + text;
    }
    char narrow[RESTART_MAX_CMD_LINE * 3] = "";
    WideCharToMultiByte(CP_UTF8, 0, commandLine, -1, narrow, sizeof narrow, nullptr, nullptr);
    return "ok " + std::to_string(flags) + " " + narrow;
}

// impostor SECONDS -> HWND: a window captioned as Lullcast's popup whose thread answers nothing
// for that long
std::string CWatchCommands::impostor(std::istringstream& args)
{
    unsigned seconds = 0;
    args >> seconds;
    Impostor impostor = {seconds * 1000, CreateEventA(nullptr, TRUE, FALSE, nullptr), nullptr};
    HANDLE thread = impostor.created ? CreateThread(nullptr, 0, ImpostorThread, &impostor, 0, nullptr) : nullptr;
    if (thread) {
        WaitForSingleObject(impostor.created, INFINITE);
        CloseHandle(thread);
    }
    if (impostor.created)
        CloseHandle(impostor.created);
    return impostor.window ? "ok " + Number(impostor.window) : "error no impostor window";
}

#include "fw/Win32Util.h"

#include <shlobj.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <initializer_list>

#include "fw/AddressSpan.h"
#include "fw/CDeviceContext.h"
#include "fw/CScopedHandle.h"

CString GetModulePath(HMODULE module)
{
    for (DWORD size = MAX_PATH; size <= kLongestPathChars; size *= 2) {
        CString path;
        const DWORD length = ::GetModuleFileNameA(module, path.GetBufferSetLength(static_cast<int>(size)), size);
        if (length == 0)
            return CString();
        if (length < size) {
            path.ReleaseBuffer(static_cast<int>(length));
            return path;
        }
    }
    return CString();
}

CString GetModuleFolder(HMODULE module)
{
    const CString path = GetModulePath(module);
    const int slash = path.ReverseFind('\\');
    return slash < 0 ? CString() : path.Left(slash);
}

HMODULE LoadSystemLibrary(const char* fileName)
{
    char path[MAX_PATH] = "";
    const UINT length = ::GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return nullptr;
    CString fullPath(path);
    fullPath += "\\";
    fullPath += fileName;
    return ::LoadLibraryA(fullPath);
}

HMODULE LoadLibraryBeside(HMODULE module, const char* fileName)
{
    const CString folder = GetModuleFolder(module);
    if (folder.IsEmpty())
        return nullptr;
    return ::LoadLibraryExA(folder + "\\" + fileName, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

int GetScreenDpi()
{
    CClientDC screen(nullptr);
    const int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 96;
    return dpi > 0 ? dpi : 96;
}

bool ReadOwnMemory(const void* address, void* out, size_t size)
{
    const DWORD readable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ
                           | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    const std::uintptr_t begin = reinterpret_cast<std::uintptr_t>(address);
    if (!AddressSpanFits(begin, size))
        return false;
    const std::uintptr_t end = begin + size;
    for (std::uintptr_t at = begin; at < end;) {
        MEMORY_BASIC_INFORMATION region = {};
        if (!::VirtualQuery(reinterpret_cast<const void*>(at), &region, sizeof region) || region.State != MEM_COMMIT
            || !(region.Protect & readable) || (region.Protect & PAGE_GUARD))
            return false;
        const std::uintptr_t next = RegionEnd(reinterpret_cast<std::uintptr_t>(region.BaseAddress), region.RegionSize);
        if (next <= at)
            return false;
        at = next;
    }
    std::memcpy(out, address, size);
    return true;
}

// Longer than the name of any shell window's class compared below.
const int kShellClassNameChars = 64;

bool IsShellWindow(HWND window)
{
    if (window == ::GetShellWindow() || window == ::GetDesktopWindow())
        return true;
    wchar_t name[kShellClassNameChars] = L"";
    if (!::GetClassNameW(window, name, kShellClassNameChars))
        return false;
    for (const wchar_t* shell : {L"Progman", L"WorkerW", L"Shell_TrayWnd", L"Shell_SecondaryTrayWnd"})
        if (std::wcscmp(name, shell) == 0)
            return true;
    return false;
}

namespace {

BOOL CALLBACK CollectVisibleWindowOfOtherProcess(HWND window, LPARAM found)
{
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    if (::IsWindowVisible(window) && process != ::GetCurrentProcessId() && !IsShellWindow(window))
        reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
    return TRUE;
}

} // namespace

std::vector<HWND> VisibleWindowsOfOtherProcesses()
{
    std::vector<HWND> windows;
    ::EnumWindows(CollectVisibleWindowOfOtherProcess, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

bool AreFocusCuesHidden(HWND window)
{
    return (::SendMessageA(window, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS) != 0;
}

void SetFocusCues(HWND window, bool shown)
{
    HWND root = ::GetAncestor(window, GA_ROOT);
    ::SendMessageA(root ? root : window, WM_CHANGEUISTATE, MAKEWPARAM(shown ? UIS_CLEAR : UIS_SET, UISF_HIDEFOCUS), 0);
}

int GetWindowDpi(HWND window)
{
    using DpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto dpiForWindow = reinterpret_cast<DpiForWindowFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
    const UINT dpi = dpiForWindow && window ? dpiForWindow(window) : 0;
    return dpi > 0 ? static_cast<int>(dpi) : GetScreenDpi();
}

bool IsNetworkPath(const char* path)
{
    if (!path)
        return false;
    if ((path[0] == '\\' || path[0] == '/') && (path[1] == '\\' || path[1] == '/'))
        return true;
    if (!path[0] || path[1] != ':')
        return false; // relative: on the current drive, which is taken as local
    const char root[] = {path[0], ':', '\\', '\0'};
    return ::GetDriveTypeA(root) == DRIVE_REMOTE;
}

bool ReadWholeFile(const CString& path, std::string& bytes, unsigned long long maxBytes)
{
    const CKernelHandle file(::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size;
    if (file.Get() == INVALID_HANDLE_VALUE || !::GetFileSizeEx(file.Get(), &size)
        || static_cast<unsigned long long>(size.QuadPart) > maxBytes)
        return false;
    bytes.resize(static_cast<size_t>(size.QuadPart));
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD read = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
        if (!::ReadFile(file.Get(), &bytes[done], chunk, &read, nullptr) || read == 0)
            return false;
        done += read;
    }
    return true;
}

bool WriteWholeFile(const CString& path, const std::string& bytes)
{
    const CKernelHandle file(::CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                           nullptr));
    if (file.Get() == INVALID_HANDLE_VALUE)
        return false;
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
        if (!::WriteFile(file.Get(), bytes.data() + done, chunk, &written, nullptr) || written == 0)
            return false;
        done += written;
    }
    return true;
}

long long SystemEpochSeconds()
{
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    const ULONGLONG ticks = (static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return static_cast<long long>(ticks / 10000000ull) - 11644473600ll; // 100 ns ticks since 1601
}

std::wstring GetLocalAppDataFolder()
{
    wchar_t path[MAX_PATH];
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, path)))
        return std::wstring();
    return path;
}

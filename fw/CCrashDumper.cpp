#include "fw/CCrashDumper.h"

#include <dbghelp.h>

#include <cwchar>

#include "fw/CScopedHandle.h"
#include "fw/DumpRetention.h"

namespace {

using MiniDumpWriteDumpFn = BOOL(WINAPI*)(HANDLE, DWORD, HANDLE, MINIDUMP_TYPE, PMINIDUMP_EXCEPTION_INFORMATION,
                                          PMINIDUMP_USER_STREAM_INFORMATION, PMINIDUMP_CALLBACK_INFORMATION);

// Everything the crash needs is ready before it: no allocation to write the dump itself.
MiniDumpWriteDumpFn g_writeDump = nullptr;
wchar_t g_folder[MAX_PATH];
wchar_t g_prefix[64];
std::size_t g_keep = 0;
LONG g_crashed = 0;
// How long the crashed thread waits for the dump.
const DWORD kDumpWaitMs = 60000;

struct DumpRequest {
    DWORD threadId;
    EXCEPTION_POINTERS* exception;
};

// Creates the folder and the folders above it that are missing.
void CreateFolders(const wchar_t* path)
{
    wchar_t partial[MAX_PATH];
    const std::size_t length = std::wcslen(path);
    for (std::size_t i = 0; i <= length && i < MAX_PATH; ++i) {
        if (i > 2 && (path[i] == L'\\' || path[i] == L'/' || path[i] == L'\0')) {
            partial[i] = L'\0';
            ::CreateDirectoryW(partial, nullptr);
        }
        partial[i] = path[i];
    }
}

} // namespace

bool CCrashDumper::Install(const wchar_t* folder, const wchar_t* prefix, std::size_t keep)
{
    if (!folder || !prefix || std::wcslen(folder) + std::wcslen(prefix) + 40 >= MAX_PATH ||
        std::wcslen(prefix) >= sizeof g_prefix / sizeof g_prefix[0])
        return false;
    // From the system folder only: a dbghelp.dll beside the program or in the current folder is
    // never loaded.
    HMODULE dbghelp = ::LoadLibraryExW(L"dbghelp.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    g_writeDump = dbghelp ? reinterpret_cast<MiniDumpWriteDumpFn>(::GetProcAddress(dbghelp, "MiniDumpWriteDump"))
                          : nullptr;
    if (!g_writeDump)
        return false;
    std::wcscpy(g_folder, folder);
    std::wcscpy(g_prefix, prefix);
    g_keep = keep;
    ::SetUnhandledExceptionFilter(&CCrashDumper::OnUnhandledException);
    return true;
}

LONG WINAPI CCrashDumper::OnUnhandledException(EXCEPTION_POINTERS* exception)
{
    // One dump per process: a second thread that crashes meanwhile just ends with it.
    if (::InterlockedExchange(&g_crashed, 1) == 0) {
        DumpRequest request{::GetCurrentThreadId(), exception};
        const CKernelHandle thread(::CreateThread(nullptr, 0, &CCrashDumper::DumpThread, &request, 0, nullptr));
        if (thread)
            ::WaitForSingleObject(thread.Get(), kDumpWaitMs);
    } else {
        ::Sleep(kDumpWaitMs);
    }
    return EXCEPTION_EXECUTE_HANDLER; // the process ends with the exception's code
}

DWORD WINAPI CCrashDumper::DumpThread(void* parameter)
{
    const DumpRequest& request = *static_cast<DumpRequest*>(parameter);
    CreateFolders(g_folder);
    SYSTEMTIME now;
    ::GetSystemTime(&now);
    wchar_t path[MAX_PATH];
    std::swprintf(path, MAX_PATH, L"%ls\\%ls-%04u%02u%02u-%02u%02u%02u-%lu.dmp", g_folder, g_prefix, now.wYear,
                  now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, ::GetCurrentProcessId());
    CKernelHandle file(::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.Get() == INVALID_HANDLE_VALUE)
        return 1;
    MINIDUMP_EXCEPTION_INFORMATION info{request.threadId, request.exception, FALSE};
    const BOOL written = g_writeDump(::GetCurrentProcess(), ::GetCurrentProcessId(), file.Get(), MiniDumpNormal,
                                     &info, nullptr, nullptr);
    file.Reset(); // closed before it may be deleted
    if (!written)
        ::DeleteFileW(path);
    RemoveOldDumps();
    return written ? 0 : 1;
}

// Keeps the newest dumps of this prefix (the one just written among them).
void CCrashDumper::RemoveOldDumps()
{
    wchar_t pattern[MAX_PATH];
    std::swprintf(pattern, MAX_PATH, L"%ls\\%ls-*.dmp", g_folder, g_prefix);
    WIN32_FIND_DATAW found;
    CFileSearch search(::FindFirstFileW(pattern, &found));
    if (search.Get() == INVALID_HANDLE_VALUE)
        return;
    std::vector<DumpFileEntry> entries;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            entries.push_back({found.cFileName, (static_cast<std::uint64_t>(found.ftLastWriteTime.dwHighDateTime) << 32) |
                                                    found.ftLastWriteTime.dwLowDateTime});
    } while (::FindNextFileW(search.Get(), &found));
    search.Reset();
    for (const std::wstring& name : DumpsToRemove(std::move(entries), g_keep)) {
        wchar_t path[MAX_PATH];
        std::swprintf(path, MAX_PATH, L"%ls\\%ls", g_folder, name.c_str());
        ::DeleteFileW(path);
    }
}

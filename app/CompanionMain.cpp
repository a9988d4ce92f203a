// Lullcast32.exe: the 32-bit companion of the 64-bit program. It installs the 32-bit hook library
// from its own folder, so that the windows of 32-bit programs are reported to the popup too, and
// ends when the program whose process id it was given ends. One companion per session.
#include <windows.h>
#include <shellapi.h>

#include <cwchar>

#include "app/CCompanion.h"
#include "app/CrashDumps.h"
#include "app/CWatchHookThread.h"
#include "fw/CScopedHandle.h"
#include "fw/Win32Util.h"
#include "hook/WatchMessages.h"

namespace {
const wchar_t kMutexName[] = L"Local\\Lullcast.Idlewaven.Companion";
// A companion of a program that has just ended may still be on its way out.
const DWORD kWaitForFormerMs = 10000;

DWORD ProgramProcessId()
{
    int count = 0;
    wchar_t** args = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!args)
        return 0;
    wchar_t* end = nullptr;
    const unsigned long id = count == 2 ? std::wcstoul(args[1], &end, 10) : 0;
    const bool whole = end && *end == L'\0';
    ::LocalFree(args);
    return whole ? static_cast<DWORD>(id) : 0;
}

// The program's own hook goes first again: where a process that cannot load a hook's library
// ends the chain there (Wine does), the program's windows of its own bitness stay watched as they
// were before the companion came.
void PutProgramHookInFront(DWORD programId)
{
    HWND window = nullptr;
    while ((window = ::FindWindowExW(HWND_MESSAGE, window, LULLCAST_HOOK_WINDOW_CLASS, nullptr)) != nullptr) {
        DWORD process = 0;
        ::GetWindowThreadProcessId(window, &process);
        if (process == programId)
            ::PostMessageW(window, WM_HOOK_TO_FRONT, 0, 0);
    }
}
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    InstallCrashDumps(L"Lullcast32");
    const DWORD programId = ProgramProcessId();
    const CKernelHandle program(programId ? ::OpenProcess(SYNCHRONIZE, FALSE, programId) : nullptr);
    if (!program)
        return 1;
    const CKernelHandle mutex(::CreateMutexW(nullptr, TRUE, kMutexName));
    if (!mutex)
        return 1;
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        HANDLE waitFor[] = {mutex.Get(), program.Get()};
        const DWORD waited = ::WaitForMultipleObjects(2, waitFor, FALSE, kWaitForFormerMs);
        if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED_0)
            return 0; // another companion serves, or the program is gone
    }
    HMODULE library = LoadLibraryBeside(nullptr, LULLCAST_COMPANION_LIBRARY);
    HOOKPROC procedure =
        library ? reinterpret_cast<HOOKPROC>(::GetProcAddress(library, LULLCAST_HOOK_PROC)) : nullptr;
    CWatchHookThread hook;
    if (!hook.Start(procedure, library))
        return 1;
    PutProgramHookInFront(programId);
    ::WaitForSingleObject(program.Get(), INFINITE);
    hook.Stop();
    return 0;
}

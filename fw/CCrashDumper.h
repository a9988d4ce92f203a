// Leaves a minidump when the process meets an exception that nothing handles, then lets it end.
//
// The dump is written by a thread of its own (the crashed thread's stack may be what is broken),
// into a folder given at start-up, as PREFIX-YYYYMMDD-HHMMSS-PID.dmp; only the newest few dumps of
// that prefix stay. dbghelp.dll is loaded from the system folder when the dumper is installed, not
// while the process is crashing.
#pragma once
#include <windows.h>

#include <cstddef>

class CCrashDumper {
public:
    // Installs the dumper for the whole process; false when dbghelp or the folder's name cannot be
    // had (the process then ends as it would without it). The folder is created at the first dump.
    static bool Install(const wchar_t* folder, const wchar_t* prefix, std::size_t keep);

private:
    static LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* exception);
    static DWORD WINAPI DumpThread(void* request);
    static void RemoveOldDumps();
};

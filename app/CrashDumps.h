// Where the program and its companion leave a dump when they crash: the five newest of each stay
// in %LOCALAPPDATA%\Lullcast\CrashDumps.
#pragma once
#include <string>

#include "fw/CCrashDumper.h"
#include "fw/Win32Util.h"

inline void InstallCrashDumps(const wchar_t* prefix)
{
    const std::wstring localAppData = GetLocalAppDataFolder();
    if (!localAppData.empty())
        CCrashDumper::Install((localAppData + L"\\Lullcast\\CrashDumps").c_str(), prefix, 5);
}

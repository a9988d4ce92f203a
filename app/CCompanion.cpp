#include "app/CCompanion.h"

#include <string>

#include "fw/CScopedHandle.h"
#include "fw/Win32Util.h"

bool CCompanion::Start()
{
    std::wstring path(kLongestPathChars, L'\0');
    const DWORD length = ::GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
    if (length == 0 || length >= path.size())
        return false;
    path.resize(length);
    const size_t slash = path.rfind(L'\\');
    if (slash == std::wstring::npos)
        return false;
    path.replace(slash + 1, std::wstring::npos, LULLCAST_COMPANION_PROGRAM);
    std::wstring commandLine = L"\"" + path + L"\" " + std::to_wstring(::GetCurrentProcessId());
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessW(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process))
        return false;
    // The companion runs on its own: nothing here waits for it.
    const CKernelHandle companion(process.hProcess), companionThread(process.hThread);
    return true;
}

// A stand-in for Lullcast.dll with the same export, planted where Lullcast must not look for its
// hook library. Each process that loads it leaves a line in "planted-loaded.txt" beside it.
#include <windows.h>

#include <cstring>

namespace {
void recordLoad(HINSTANCE self)
{
    char path[MAX_PATH] = "";
    GetModuleFileNameA(self, path, MAX_PATH);
    char* slash = std::strrchr(path, '\\');
    if (!slash)
        return;
    std::strcpy(slash + 1, "planted-loaded.txt");
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    char process[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, process, MAX_PATH);
    std::strcat(process, "\r\n");
    DWORD written = 0;
    WriteFile(file, process, static_cast<DWORD>(std::strlen(process)), &written, nullptr);
    CloseHandle(file);
}
}

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        recordLoad(self);
    return TRUE;
}

extern "C" LRESULT CALLBACK TidewellHookProc(int code, WPARAM wParam, LPARAM lParam)
{
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

#include "fw/Win32Util.h"

CString GetModuleFolder(HMODULE module)
{
    char path[MAX_PATH] = "";
    const DWORD length = ::GetModuleFileNameA(module, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return CString();
    CString folder(path);
    const int slash = folder.ReverseFind('\\');
    return slash < 0 ? CString() : folder.Left(slash);
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
    HDC screen = ::GetDC(nullptr);
    const int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen)
        ::ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

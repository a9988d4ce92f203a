#include "fw/Win32Util.h"

CString GetModulePath(HMODULE module)
{
    const DWORD longestPath = 32768;
    for (DWORD size = MAX_PATH; size <= longestPath; size *= 2) {
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
    HDC screen = ::GetDC(nullptr);
    const int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen)
        ::ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

// Reads the version resource of each file named on its command line, as Windows shows it in a
// file's properties, and prints one line per value: "FILE NAME=VALUE" (the fixed file version
// as "FILE FileVersionNumber=a.b.c.d"), or "FILE none" for a file without one.
#include <windows.h>

#include <cstdio>
#include <vector>

namespace {

const char* const kNames[] = {"ProductName", "ProductVersion", "FileVersion", "FileDescription",
                              "CompanyName", "LegalCopyright", "OriginalFilename"};

void Describe(const char* path)
{
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeA(path, &ignored);
    std::vector<char> data(size ? size : 1);
    if (!size || !::GetFileVersionInfoA(path, 0, size, data.data())) {
        std::printf("%s none\n", path);
        return;
    }
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (::VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length) && fixed)
        std::printf("%s FileVersionNumber=%lu.%lu.%lu.%lu\n", path, HIWORD(fixed->dwFileVersionMS),
                    LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS));
    for (const char* name : kNames) {
        char query[128];
        std::snprintf(query, sizeof query, "\\StringFileInfo\\040904B0\\%s", name);
        char* value = nullptr;
        if (::VerQueryValueA(data.data(), query, reinterpret_cast<void**>(&value), &length) && value)
            std::printf("%s %s=%s\n", path, name, value);
    }
}

} // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        Describe(argv[i]);
    return 0;
}

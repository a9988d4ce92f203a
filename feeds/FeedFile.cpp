#include "feeds/FeedFile.h"

#include <windows.h>

#include "fw/CScopedHandle.h"
#include "fw/Win32Util.h"

namespace {

const char kFeedFileName[] = "Tidewell.xml";

// Opens the file for writing, creating it if need be, and closes it again.
bool CanWrite(const CString& path)
{
    const CKernelHandle file(::CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                           nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.Get() != INVALID_HANDLE_VALUE;
}

// With a trailing backslash; empty when unknown.
CString GetTempFolder()
{
    const DWORD needed = ::GetTempPathA(0, nullptr);
    if (needed == 0 || needed > kLongestPathChars)
        return CString();
    CString folder;
    const DWORD length = ::GetTempPathA(needed, folder.GetBufferSetLength(static_cast<int>(needed)));
    if (length == 0 || length >= needed)
        return CString();
    folder.ReleaseBuffer(static_cast<int>(length));
    return folder;
}

} // namespace

CString GetModuleDirectory()
{
    return GetModuleFolder(nullptr);
}

CString GetFeedFilePath()
{
    const CString besideProgram = GetModuleDirectory() + "\\" + kFeedFileName;
    if (CanWrite(besideProgram))
        return besideProgram;
    const CString tempFolder = GetTempFolder();
    return tempFolder.IsEmpty() ? besideProgram : tempFolder + kFeedFileName;
}

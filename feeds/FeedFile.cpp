#include "feeds/FeedFile.h"

#include <windows.h>

#include "fw/CScopedHandle.h"
#include "fw/Win32Util.h"

#include <algorithm>

namespace {

const char kFeedFileName[] = "Tidewell.xml";
const DWORD kLongestPath = 32768;

// Opens the file for writing, creating it if need be, and closes it again.
bool CanWrite(const CString& path)
{
    const HANDLE file = ::CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    ::CloseHandle(file);
    return true;
}

// With a trailing backslash; empty when unknown.
CString GetTempFolder()
{
    const DWORD needed = ::GetTempPathA(0, nullptr);
    if (needed == 0 || needed > kLongestPath)
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

bool ReadWholeFile(const CString& path, std::string& bytes, unsigned long long maxBytes)
{
    const CKernelHandle file(::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size;
    if (file.Get() == INVALID_HANDLE_VALUE || !::GetFileSizeEx(file.Get(), &size)
        || static_cast<unsigned long long>(size.QuadPart) > maxBytes)
        return false;
    bytes.resize(static_cast<size_t>(size.QuadPart));
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD read = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
        if (!::ReadFile(file.Get(), &bytes[done], chunk, &read, nullptr) || read == 0)
            return false;
        done += read;
    }
    return true;
}

bool WriteWholeFile(const CString& path, const std::string& bytes)
{
    const CKernelHandle file(::CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                           nullptr));
    if (file.Get() == INVALID_HANDLE_VALUE)
        return false;
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
        if (!::WriteFile(file.Get(), bytes.data() + done, chunk, &written, nullptr) || written == 0)
            return false;
        done += written;
    }
    return true;
}

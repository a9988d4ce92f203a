#include "fw/CRegistryProfile.h"

#include "fw/BoundedRetry.h"

#include <climits>
#include <cstring>

namespace {

bool ReadDword(HKEY key, const char* entry, DWORD& value)
{
    DWORD type = 0;
    DWORD data = 0;
    DWORD size = sizeof(data);
    LONG result = RegQueryValueExA(key, entry, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size);
    if (result != ERROR_SUCCESS || type != REG_DWORD || size != sizeof(data))
        return false;
    value = data;
    return true;
}

// Reading a string takes two calls, one for its size and one for its data; when the value grew
// in between, the read starts over, a few times at most. A value that keeps changing (or a
// size the system under-reports) gives the default instead of holding up the caller.
const int kStringReadAttempts = 4;

bool ReadString(HKEY key, const char* entry, CString& value)
{
    return RunBounded(kStringReadAttempts, [&] {
        DWORD type = 0;
        DWORD size = 0;
        if (RegQueryValueExA(key, entry, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ)
            return AttemptResult::Failed;
        if (size >= INT_MAX)
            return AttemptResult::Failed;
        CString text;
        // The buffer holds one byte more than the data, so a value stored without a terminator still ends.
        char* buffer = text.GetBufferSetLength(static_cast<int>(size));
        LONG result = RegQueryValueExA(key, entry, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
        if (result == ERROR_MORE_DATA)
            return AttemptResult::StartOver;
        if (result != ERROR_SUCCESS || type != REG_SZ)
            return AttemptResult::Failed;
        text.ReleaseBuffer();
        value = text;
        return AttemptResult::Done;
    });
}

} // namespace

CRegistryProfile::CRegistryProfile(const char* rootKeyPath) : m_rootKeyPath(rootKeyPath) {}

CRegistryKey CRegistryProfile::OpenSection(const char* section) const
{
    CString path = m_rootKeyPath + "\\" + section;
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
        return CRegistryKey();
    return CRegistryKey(key);
}

unsigned CRegistryProfile::GetProfileInt(const char* section, const char* entry, int defaultValue)
{
    DWORD value = static_cast<DWORD>(defaultValue);
    if (const CRegistryKey key = OpenSection(section))
        ReadDword(key.Get(), entry, value);
    return value;
}

CString CRegistryProfile::GetProfileString(const char* section, const char* entry, const char* defaultValue)
{
    CString value(defaultValue);
    if (const CRegistryKey key = OpenSection(section))
        ReadString(key.Get(), entry, value);
    return value;
}

bool CRegistryProfile::WriteProfileInt(const char* section, const char* entry, int value)
{
    const CRegistryKey key = OpenSection(section);
    if (!key)
        return false;
    DWORD data = static_cast<DWORD>(value);
    LONG result = RegSetValueExA(key.Get(), entry, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof(data));
    return result == ERROR_SUCCESS;
}

bool CRegistryProfile::WriteProfileString(const char* section, const char* entry, const char* value)
{
    const CRegistryKey key = OpenSection(section);
    if (!key)
        return false;
    LONG result;
    if (value) {
        DWORD size = static_cast<DWORD>(std::strlen(value) + 1);
        result = RegSetValueExA(key.Get(), entry, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), size);
    } else {
        result = RegDeleteValueA(key.Get(), entry);
    }
    return result == ERROR_SUCCESS;
}

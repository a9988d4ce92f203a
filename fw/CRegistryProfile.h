// Profile values kept in the registry under one key of HKEY_CURRENT_USER: each section is a
// sub-key, created on first access; integers are REG_DWORD values and strings REG_SZ values.
#pragma once
#include "fw/CProfileStore.h"

#include <windows.h>

#include "fw/CScopedHandle.h"

class CRegistryProfile : public CProfileStore {
public:
    // rootKeyPath is relative to HKEY_CURRENT_USER, e.g. "Software\\Maker\\Product\\App".
    explicit CRegistryProfile(const char* rootKeyPath);

    // Only a REG_DWORD of exactly four bytes is taken: any other type (REG_BINARY and
    // REG_DWORD_BIG_ENDIAN included, whatever their size) or size gives the default.
    unsigned GetProfileInt(const char* section, const char* entry, int defaultValue) override;
    // Only a REG_SZ is taken, whole, up to its first NUL; any other type gives the default.
    CString GetProfileString(const char* section, const char* entry, const char* defaultValue) override;

    bool WriteProfileInt(const char* section, const char* entry, int value) override;
    bool WriteProfileString(const char* section, const char* entry, const char* value) override;

private:
    CString m_rootKeyPath;

    // Opens the section's key, creating the keys on the way; empty when that fails.
    CRegistryKey OpenSection(const char* section) const;
};

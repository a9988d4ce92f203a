// Named integer and string values grouped in sections: the application's per-user settings.
// The application object serves it from the registry; tests serve it from memory.
#pragma once
#ifdef _WIN32
#include <windows.h> // it renames the profile functions; include it first so every user agrees
#endif

#include "fw/CString.h"

class CProfileStore {
public:
    virtual ~CProfileStore() = default;

    // An absent value, or one of the wrong type or size, gives the default.
    virtual unsigned GetProfileInt(const char* section, const char* entry, int defaultValue) = 0;
    virtual CString GetProfileString(const char* section, const char* entry, const char* defaultValue) = 0;

    virtual bool WriteProfileInt(const char* section, const char* entry, int value) = 0;
    // A null value deletes the entry.
    virtual bool WriteProfileString(const char* section, const char* entry, const char* value) = 0;
};

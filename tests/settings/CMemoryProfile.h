// A profile kept in memory for the tests, typed like the registry (a value is a DWORD or a
// string), with a log of every call in the order it was made.
#pragma once
#include "fw/CProfileStore.h"

#include <map>
#include <string>
#include <vector>

class CMemoryProfile : public CProfileStore {
public:
    unsigned GetProfileInt(const char* section, const char* entry, int defaultValue) override;
    CString GetProfileString(const char* section, const char* entry, const char* defaultValue) override;
    bool WriteProfileInt(const char* section, const char* entry, int value) override;
    bool WriteProfileString(const char* section, const char* entry, const char* value) override;

    void SetDword(const std::string& section, const std::string& entry, unsigned value);
    void SetString(const std::string& section, const std::string& entry, const std::string& value);

    bool HasValue(const std::string& section, const std::string& entry) const;
    bool IsDword(const std::string& section, const std::string& entry) const;
    unsigned Dword(const std::string& section, const std::string& entry) const;
    std::string String(const std::string& section, const std::string& entry) const;

    // "get Interval", "set Feed1", "delete Feed2": entries only, sections left out.
    std::vector<std::string> m_log;

private:
    struct Value {
        bool isDword;
        unsigned dword;
        std::string text;
    };
    std::map<std::string, Value> m_values;

    static std::string Key(const std::string& section, const std::string& entry);
    const Value* Find(const std::string& section, const std::string& entry) const;
};

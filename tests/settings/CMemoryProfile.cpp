#include "tests/settings/CMemoryProfile.h"

std::string CMemoryProfile::Key(const std::string& section, const std::string& entry)
{
    return section + "\\" + entry;
}

const CMemoryProfile::Value* CMemoryProfile::Find(const std::string& section, const std::string& entry) const
{
    auto found = m_values.find(Key(section, entry));
    return found == m_values.end() ? nullptr : &found->second;
}

unsigned CMemoryProfile::GetProfileInt(const char* section, const char* entry, int defaultValue)
{
    m_log.push_back(std::string("get ") + entry);
    const Value* value = Find(section, entry);
    return value && value->isDword ? value->dword : static_cast<unsigned>(defaultValue);
}

CString CMemoryProfile::GetProfileString(const char* section, const char* entry, const char* defaultValue)
{
    m_log.push_back(std::string("get ") + entry);
    const Value* value = Find(section, entry);
    return value && !value->isDword ? CString(value->text.c_str()) : CString(defaultValue);
}

bool CMemoryProfile::WriteProfileInt(const char* section, const char* entry, int value)
{
    m_log.push_back(std::string("set ") + entry);
    SetDword(section, entry, static_cast<unsigned>(value));
    return true;
}

bool CMemoryProfile::WriteProfileString(const char* section, const char* entry, const char* value)
{
    if (!value) {
        m_log.push_back(std::string("delete ") + entry);
        return m_values.erase(Key(section, entry)) == 1;
    }
    m_log.push_back(std::string("set ") + entry);
    SetString(section, entry, value);
    return true;
}

void CMemoryProfile::SetDword(const std::string& section, const std::string& entry, unsigned value)
{
    m_values[Key(section, entry)] = Value{true, value, std::string()};
}

void CMemoryProfile::SetString(const std::string& section, const std::string& entry, const std::string& value)
{
    m_values[Key(section, entry)] = Value{false, 0, value};
}

bool CMemoryProfile::HasValue(const std::string& section, const std::string& entry) const
{
    return Find(section, entry) != nullptr;
}

bool CMemoryProfile::IsDword(const std::string& section, const std::string& entry) const
{
    const Value* value = Find(section, entry);
    return value && value->isDword;
}

unsigned CMemoryProfile::Dword(const std::string& section, const std::string& entry) const
{
    const Value* value = Find(section, entry);
    return value ? value->dword : 0;
}

std::string CMemoryProfile::String(const std::string& section, const std::string& entry) const
{
    const Value* value = Find(section, entry);
    return value ? value->text : std::string();
}

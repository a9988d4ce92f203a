// An ordered list of strings.
#pragma once
#include "CString.h"

#include <vector>

class CStringArray {
public:
    int GetSize() const { return static_cast<int>(m_items.size()); }
    int GetCount() const { return GetSize(); }
    bool IsEmpty() const { return m_items.empty(); }

    // Reading outside the list gives an empty string; writing outside it does nothing.
    CString GetAt(int index) const;
    const CString& operator[](int index) const;
    void SetAt(int index, const CString& text);

    int Add(const CString& text);
    void InsertAt(int index, const CString& text);
    void RemoveAt(int index);
    void RemoveAll() { m_items.clear(); }
    void Copy(const CStringArray& other) { m_items = other.m_items; }

private:
    std::vector<CString> m_items;
};

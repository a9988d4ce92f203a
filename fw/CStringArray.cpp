#include "CStringArray.h"

namespace {

bool InRange(int index, size_t size)
{
    return index >= 0 && static_cast<size_t>(index) < size;
}

} // namespace

CString CStringArray::GetAt(int index) const
{
    return InRange(index, m_items.size()) ? m_items[static_cast<size_t>(index)] : CString();
}

const CString& CStringArray::operator[](int index) const
{
    static const CString empty;
    return InRange(index, m_items.size()) ? m_items[static_cast<size_t>(index)] : empty;
}

void CStringArray::SetAt(int index, const CString& text)
{
    if (InRange(index, m_items.size()))
        m_items[static_cast<size_t>(index)] = text;
}

int CStringArray::Add(const CString& text)
{
    m_items.push_back(text);
    return GetSize() - 1;
}

void CStringArray::InsertAt(int index, const CString& text)
{
    if (index < 0 || index > GetSize())
        return;
    m_items.insert(m_items.begin() + index, text);
}

void CStringArray::RemoveAt(int index)
{
    if (InRange(index, m_items.size()))
        m_items.erase(m_items.begin() + index);
}

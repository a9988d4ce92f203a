// A growable array that holds its elements by value.
#pragma once
#include <stdexcept>
#include <vector>

template <class TYPE, class ARG_TYPE>
class CArray {
public:
    int GetSize() const { return static_cast<int>(m_items.size()); }
    int GetCount() const { return GetSize(); }

    // An index outside the array is refused with std::invalid_argument.
    const TYPE& GetAt(int index) const { return m_items[Checked(index)]; }
    TYPE& ElementAt(int index) { return m_items[Checked(index)]; }
    const TYPE& operator[](int index) const { return GetAt(index); }
    TYPE& operator[](int index) { return ElementAt(index); }

    int Add(ARG_TYPE item)
    {
        m_items.push_back(item);
        return GetSize() - 1;
    }

    // An index equal to the size appends.
    void InsertAt(int index, ARG_TYPE item)
    {
        if (index < 0 || index > GetSize())
            throw std::invalid_argument("CArray::InsertAt");
        m_items.insert(m_items.begin() + index, item);
    }

    void RemoveAll() { std::vector<TYPE>().swap(m_items); }

private:
    std::vector<TYPE> m_items;

    size_t Checked(int index) const
    {
        if (index < 0 || index >= GetSize())
            throw std::invalid_argument("CArray index");
        return static_cast<size_t>(index);
    }
};

// Holds one reference to a COM object and releases it when it goes. Adopt takes over a
// reference the caller already owns (a new object, an out parameter filled by a call); copying
// adds a reference of its own.
#pragma once
#include <unknwn.h>

#include <utility>

template <class T>
class CComPtr {
public:
    CComPtr() = default;
    ~CComPtr() { Reset(); }
    CComPtr(const CComPtr& other) : m_object(other.m_object)
    {
        if (m_object)
            m_object->AddRef();
    }
    // From a holder of a derived class.
    template <class U>
    CComPtr(const CComPtr<U>& other) : m_object(other.Get())
    {
        if (m_object)
            m_object->AddRef();
    }
    CComPtr(CComPtr&& other) noexcept : m_object(std::exchange(other.m_object, nullptr)) {}
    CComPtr& operator=(CComPtr other) noexcept
    {
        std::swap(m_object, other.m_object);
        return *this;
    }

    static CComPtr Adopt(T* object)
    {
        CComPtr held;
        held.m_object = object;
        return held;
    }

    T* Get() const { return m_object; }
    T* operator->() const { return m_object; }
    explicit operator bool() const { return m_object != nullptr; }

    // Where a call writes the reference it hands over; whatever was held before is released.
    T** Receive()
    {
        Reset();
        return &m_object;
    }

    void Reset()
    {
        if (T* object = std::exchange(m_object, nullptr))
            object->Release();
    }

private:
    T* m_object = nullptr;
};

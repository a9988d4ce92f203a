// Holders for COM: an interface pointer released when it goes, and the thread's COM apartment,
// left again only if it was entered here.
#pragma once
#include <objbase.h>

template <class Interface>
class CComPtr {
public:
    CComPtr() = default;
    explicit CComPtr(Interface* pointer) : m_pointer(pointer) {} // takes over the caller's reference
    ~CComPtr() { Reset(); }
    CComPtr(const CComPtr&) = delete;
    CComPtr& operator=(const CComPtr&) = delete;

    Interface* Get() const { return m_pointer; }
    Interface* operator->() const { return m_pointer; }
    explicit operator bool() const { return m_pointer != nullptr; }

    // For a call that hands out a new reference: the old one is released first.
    Interface** Receive()
    {
        Reset();
        return &m_pointer;
    }

    void Reset(Interface* pointer = nullptr)
    {
        if (m_pointer)
            m_pointer->Release();
        m_pointer = pointer;
    }

private:
    Interface* m_pointer = nullptr;
};

class CComApartment {
public:
    explicit CComApartment(DWORD model = COINIT_APARTMENTTHREADED) : m_result(::CoInitializeEx(nullptr, model)) {}
    ~CComApartment()
    {
        if (SUCCEEDED(m_result))
            ::CoUninitialize(); // only a start-up that succeeded is undone
    }
    CComApartment(const CComApartment&) = delete;
    CComApartment& operator=(const CComApartment&) = delete;

    bool Entered() const { return SUCCEEDED(m_result); }

private:
    HRESULT m_result;
};

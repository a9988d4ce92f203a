// Owns one reference to a COM object and releases it when it goes.
#pragma once

template <class Interface>
class CComRef {
public:
    CComRef() = default;
    // Takes over a reference the caller holds.
    explicit CComRef(Interface* pointer) : m_pointer(pointer) {}
    ~CComRef() { Reset(); }
    CComRef(const CComRef&) = delete;
    CComRef& operator=(const CComRef&) = delete;

    Interface* Get() const { return m_pointer; }
    Interface* operator->() const { return m_pointer; }
    explicit operator bool() const { return m_pointer != nullptr; }

    // For a call that hands out a reference: releases the one held, then gives the place.
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

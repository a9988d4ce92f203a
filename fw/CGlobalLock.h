// A global memory block locked for a scope: GlobalLock and GlobalUnlock as one object, so that
// the block is unlocked on every path, a throw among them.
#pragma once
#include <windows.h>

class CGlobalLock {
public:
    explicit CGlobalLock(HGLOBAL memory) : m_memory(memory), m_data(memory ? ::GlobalLock(memory) : nullptr) {}
    ~CGlobalLock()
    {
        if (m_data)
            ::GlobalUnlock(m_memory);
    }
    CGlobalLock(const CGlobalLock&) = delete;
    CGlobalLock& operator=(const CGlobalLock&) = delete;

    // NULL when the block could not be locked.
    void* Data() const { return m_data; }
    SIZE_T Size() const { return m_data ? ::GlobalSize(m_memory) : 0; }

private:
    HGLOBAL m_memory;
    void* m_data;
};

// Owns one handle of the system and closes it when it goes: no path can forget to.
#pragma once
#include <windows.h>

template <class HANDLE_TYPE, class CLOSER>
class CScopedHandle {
public:
    CScopedHandle() = default;
    explicit CScopedHandle(HANDLE_TYPE handle) : m_handle(handle) {}
    ~CScopedHandle() { Reset(); }
    CScopedHandle(const CScopedHandle&) = delete;
    CScopedHandle& operator=(const CScopedHandle&) = delete;

    HANDLE_TYPE Get() const { return m_handle; }
    explicit operator bool() const { return m_handle != HANDLE_TYPE(); }

    void Reset(HANDLE_TYPE handle = HANDLE_TYPE())
    {
        if (m_handle != HANDLE_TYPE())
            CLOSER()(m_handle);
        m_handle = handle;
    }

    HANDLE_TYPE Detach()
    {
        HANDLE_TYPE handle = m_handle;
        m_handle = HANDLE_TYPE();
        return handle;
    }

private:
    HANDLE_TYPE m_handle = HANDLE_TYPE();
};

struct CloseKernelHandle {
    void operator()(HANDLE handle) const { ::CloseHandle(handle); }
};
struct DeleteGdiObject {
    void operator()(HGDIOBJ object) const { ::DeleteObject(object); }
};
struct DestroyMenuHandle {
    void operator()(HMENU menu) const { ::DestroyMenu(menu); }
};
struct FreeGlobalMemory {
    void operator()(HGLOBAL memory) const { ::GlobalFree(memory); }
};

using CKernelHandle = CScopedHandle<HANDLE, CloseKernelHandle>;
using CGdiObject = CScopedHandle<HGDIOBJ, DeleteGdiObject>;
using CGlobalMemory = CScopedHandle<HGLOBAL, FreeGlobalMemory>;
using CMenuHandle = CScopedHandle<HMENU, DestroyMenuHandle>;

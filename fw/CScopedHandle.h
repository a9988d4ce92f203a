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
    // A function may hand the handle it opened to its caller.
    CScopedHandle(CScopedHandle&& other) noexcept : m_handle(other.Detach()) {}
    CScopedHandle& operator=(CScopedHandle&& other) noexcept
    {
        if (this != &other)
            Reset(other.Detach());
        return *this;
    }

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

// Files and searches answer a failure with INVALID_HANDLE_VALUE, which is no handle to close
// (closed, it would stand for the process itself).
struct CloseKernelHandle {
    void operator()(HANDLE handle) const
    {
        if (handle != INVALID_HANDLE_VALUE)
            ::CloseHandle(handle);
    }
};
struct CloseFileSearch {
    void operator()(HANDLE search) const
    {
        if (search != INVALID_HANDLE_VALUE)
            ::FindClose(search);
    }
};
struct DeleteGdiObject {
    void operator()(HGDIOBJ object) const { ::DeleteObject(object); }
};
struct DestroyMenuHandle {
    void operator()(HMENU menu) const { ::DestroyMenu(menu); }
};
struct CloseRegistryKey {
    void operator()(HKEY key) const { ::RegCloseKey(key); }
};
struct FreeLibraryModule {
    void operator()(HMODULE module) const { ::FreeLibrary(module); }
};
struct FreeGlobalMemory {
    void operator()(HGLOBAL memory) const { ::GlobalFree(memory); }
};

using CKernelHandle = CScopedHandle<HANDLE, CloseKernelHandle>;
using CGdiObject = CScopedHandle<HGDIOBJ, DeleteGdiObject>;
using CGlobalMemory = CScopedHandle<HGLOBAL, FreeGlobalMemory>;
using CMenuHandle = CScopedHandle<HMENU, DestroyMenuHandle>;
using CFileSearch = CScopedHandle<HANDLE, CloseFileSearch>;
using CRegistryKey = CScopedHandle<HKEY, CloseRegistryKey>;
using CLibraryModule = CScopedHandle<HMODULE, FreeLibraryModule>;

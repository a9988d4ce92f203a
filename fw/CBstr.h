// A BSTR (the length-prefixed wide string of COM calls) that frees itself: made from wide text
// for a call that takes one, or filled by a call that hands one out.
#pragma once
#include <oleauto.h>

#include <cstddef>

class CBstr {
public:
    CBstr() = default;
    explicit CBstr(const wchar_t* text) : m_text(text ? ::SysAllocString(text) : nullptr) {}
    // The text may hold null characters; a BSTR keeps its length. None for a length beyond a
    // BSTR's.
    CBstr(const wchar_t* text, size_t length)
        : m_text(length <= kLongest ? ::SysAllocStringLen(text, static_cast<UINT>(length)) : nullptr)
    {
    }
    ~CBstr() { Reset(); }
    CBstr(const CBstr&) = delete;
    CBstr& operator=(const CBstr&) = delete;

    BSTR Get() const { return m_text; }
    explicit operator bool() const { return m_text != nullptr; }
    // The characters, without the terminating null; 0 for none.
    UINT Length() const { return ::SysStringLen(m_text); }

    // For a call that hands out a new string: the old one is freed first.
    BSTR* Receive()
    {
        Reset();
        return &m_text;
    }

    void Reset()
    {
        ::SysFreeString(m_text); // takes null
        m_text = nullptr;
    }

private:
    static const size_t kLongest = 0x7FFFFFFF / sizeof(wchar_t); // the byte count is a 32-bit prefix

    BSTR m_text = nullptr;
};

// A narrow, reference-counted string. Copies share their text until one of them changes.
#pragma once
#include <cstdarg>
#include <cstddef>

class CString {
public:
    CString();
    CString(const char* text);
    CString(const char* text, int length);
    CString(const CString& other);
    CString(CString&& other) noexcept;
    ~CString();

    CString& operator=(const CString& other);
    CString& operator=(CString&& other) noexcept;
    CString& operator=(const char* text);

    operator const char*() const { return GetString(); }
    const char* GetString() const;
    int GetLength() const;
    bool IsEmpty() const { return GetLength() == 0; }
    void Empty();
    char GetAt(int index) const;

    CString& operator+=(const CString& text);
    CString& operator+=(const char* text);
    CString& operator+=(char ch);
    void Append(const char* text, int length);

    int Find(const char* text, int start = 0) const;
    int Find(char ch, int start = 0) const;
    int ReverseFind(char ch) const;
    CString Left(int count) const;
    CString Mid(int start) const;
    CString Mid(int start, int count) const;

    // Replaces every occurrence, left to right, without scanning the replacement again.
    int Replace(const char* oldText, const char* newText);
    int Delete(int index, int count = 1);

    void Format(const char* format, ...);
    void FormatV(const char* format, va_list args);

    // Direct access for APIs that write into a buffer: ReleaseBuffer takes the length up to the first NUL.
    char* GetBufferSetLength(int length);
    void ReleaseBuffer(int newLength = -1);

    friend bool operator==(const CString& a, const CString& b);
    friend bool operator==(const CString& a, const char* b);
    friend bool operator!=(const CString& a, const CString& b) { return !(a == b); }
    friend bool operator!=(const CString& a, const char* b) { return !(a == b); }

private:
    struct Data;
    Data* m_data; // null for the empty string

    static Data* Allocate(int capacity);
    void Assign(const char* text, int length);
    void MakeUnique(int capacity);
    void Release();
};

CString operator+(const CString& a, const CString& b);
CString operator+(const CString& a, const char* b);
CString operator+(const char* a, const CString& b);

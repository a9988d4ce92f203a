#include "CString.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

struct CString::Data {
    int refs;
    int length;
    int capacity;
    char text[1];
};

CString::CString() : m_data(nullptr) {}

CString::CString(const char* text) : m_data(nullptr)
{
    if (text)
        Assign(text, static_cast<int>(std::strlen(text)));
}

CString::CString(const char* text, int length) : m_data(nullptr)
{
    if (text && length > 0)
        Assign(text, length);
}

CString::CString(const CString& other) : m_data(other.m_data)
{
    if (m_data)
        ++m_data->refs;
}

CString::CString(CString&& other) noexcept : m_data(other.m_data)
{
    other.m_data = nullptr;
}

CString::~CString()
{
    Release();
}

CString& CString::operator=(const CString& other)
{
    Data* data = other.m_data; // taken first: `other` may be this string itself
    if (data)
        ++data->refs;
    Release();
    m_data = data;
    return *this;
}

CString& CString::operator=(CString&& other) noexcept
{
    if (this != &other) {
        Release();
        m_data = other.m_data;
        other.m_data = nullptr;
    }
    return *this;
}

CString& CString::operator=(const char* text)
{
    if (!text || !*text) {
        Empty();
        return *this;
    }
    CString copy(text); // the text may point into our own buffer
    *this = static_cast<CString&&>(copy);
    return *this;
}

const char* CString::GetString() const
{
    return m_data ? m_data->text : "";
}

int CString::GetLength() const
{
    return m_data ? m_data->length : 0;
}

void CString::Empty()
{
    Release();
}

char CString::GetAt(int index) const
{
    if (index < 0 || index >= GetLength())
        return '\0';
    return m_data->text[index];
}

CString& CString::operator+=(const CString& text)
{
    Append(text.GetString(), text.GetLength());
    return *this;
}

CString& CString::operator+=(const char* text)
{
    if (text)
        Append(text, static_cast<int>(std::strlen(text)));
    return *this;
}

CString& CString::operator+=(char ch)
{
    Append(&ch, 1);
    return *this;
}

void CString::Append(const char* text, int length)
{
    if (!text || length <= 0)
        return;
    if (m_data && text >= m_data->text && text <= m_data->text + m_data->capacity) {
        const CString copy(text, length); // the text lies in our own buffer, which may move
        Append(copy.GetString(), length);
        return;
    }
    const int oldLength = GetLength();
    MakeUnique(oldLength + length);
    std::memcpy(m_data->text + oldLength, text, static_cast<size_t>(length));
    m_data->length = oldLength + length;
    m_data->text[m_data->length] = '\0';
}

int CString::Find(const char* text, int start) const
{
    const int length = GetLength();
    if (!text || start < 0 || start > length)
        return -1;
    const int needle = static_cast<int>(std::strlen(text));
    if (needle == 0)
        return start;
    const char* hay = GetString();
    for (int i = start; i + needle <= length; ++i) {
        if (hay[i] == text[0] && std::memcmp(hay + i, text, static_cast<size_t>(needle)) == 0)
            return i;
    }
    return -1;
}

int CString::Find(char ch, int start) const
{
    const int length = GetLength();
    for (int i = start < 0 ? 0 : start; i < length; ++i) {
        if (m_data->text[i] == ch)
            return i;
    }
    return -1;
}

int CString::ReverseFind(char ch) const
{
    for (int i = GetLength() - 1; i >= 0; --i) {
        if (m_data->text[i] == ch)
            return i;
    }
    return -1;
}

CString CString::Left(int count) const
{
    if (count <= 0)
        return CString();
    if (count >= GetLength())
        return *this;
    return CString(GetString(), count);
}

CString CString::Mid(int start) const
{
    return Mid(start, GetLength());
}

CString CString::Mid(int start, int count) const
{
    const int length = GetLength();
    if (start < 0)
        start = 0;
    if (start >= length || count <= 0)
        return CString();
    if (count > length - start)
        count = length - start;
    if (start == 0 && count == length)
        return *this;
    return CString(GetString() + start, count);
}

int CString::Replace(const char* oldText, const char* newText)
{
    if (!oldText || !*oldText || IsEmpty())
        return 0;
    if (!newText)
        newText = "";
    const int oldLength = static_cast<int>(std::strlen(oldText));
    const int newLength = static_cast<int>(std::strlen(newText));
    CString result;
    int count = 0;
    int from = 0;
    for (int at = Find(oldText, 0); at >= 0; at = Find(oldText, from)) {
        result.Append(GetString() + from, at - from);
        result.Append(newText, newLength);
        from = at + oldLength;
        ++count;
    }
    if (count == 0)
        return 0;
    result.Append(GetString() + from, GetLength() - from);
    *this = static_cast<CString&&>(result);
    return count;
}

int CString::Delete(int index, int count)
{
    const int length = GetLength();
    if (index < 0 || index >= length || count <= 0)
        return length;
    if (count > length - index)
        count = length - index;
    MakeUnique(length);
    std::memmove(m_data->text + index, m_data->text + index + count,
                 static_cast<size_t>(length - index - count + 1));
    m_data->length = length - count;
    return m_data->length;
}

void CString::Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    FormatV(format, args);
    va_end(args);
}

void CString::FormatV(const char* format, va_list args)
{
    va_list measure;
    va_copy(measure, args);
    const int needed = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (needed <= 0) {
        Empty();
        return;
    }
    CString result;
    char* buffer = result.GetBufferSetLength(needed);
    std::vsnprintf(buffer, static_cast<size_t>(needed) + 1, format, args);
    result.ReleaseBuffer(needed);
    *this = static_cast<CString&&>(result);
}

char* CString::GetBufferSetLength(int length)
{
    if (length < 0)
        length = 0;
    MakeUnique(length);
    if (m_data->length > length)
        m_data->length = length;
    m_data->text[length] = '\0';
    m_data->length = length;
    return m_data->text;
}

void CString::ReleaseBuffer(int newLength)
{
    if (!m_data)
        return;
    if (newLength < 0)
        newLength = static_cast<int>(strnlen(m_data->text, static_cast<size_t>(m_data->capacity)));
    if (newLength > m_data->capacity)
        newLength = m_data->capacity;
    m_data->length = newLength;
    m_data->text[newLength] = '\0';
    if (newLength == 0)
        Release();
}

bool operator==(const CString& a, const CString& b)
{
    if (a.m_data == b.m_data)
        return true;
    return a.GetLength() == b.GetLength()
        && std::memcmp(a.GetString(), b.GetString(), static_cast<size_t>(a.GetLength())) == 0;
}

bool operator==(const CString& a, const char* b)
{
    return std::strcmp(a.GetString(), b ? b : "") == 0;
}

CString operator+(const CString& a, const CString& b)
{
    CString result(a);
    result += b;
    return result;
}

CString operator+(const CString& a, const char* b)
{
    CString result(a);
    result += b;
    return result;
}

CString operator+(const char* a, const CString& b)
{
    CString result(a);
    result += b;
    return result;
}

void CString::Assign(const char* text, int length)
{
    Release();
    MakeUnique(length);
    std::memcpy(m_data->text, text, static_cast<size_t>(length));
    m_data->length = length;
    m_data->text[length] = '\0';
}

// Gives this string a buffer of its own with room for at least `capacity` characters,
// keeping as much of the current text as fits.
void CString::MakeUnique(int capacity)
{
    if (m_data && m_data->refs == 1 && m_data->capacity >= capacity)
        return;
    const int length = GetLength() < capacity ? GetLength() : capacity;
    int newCapacity = capacity;
    if (m_data && m_data->refs == 1 && capacity < m_data->capacity * 2)
        newCapacity = m_data->capacity * 2; // growing by appends stays linear
    Data* data = Allocate(newCapacity);
    if (length > 0)
        std::memcpy(data->text, m_data->text, static_cast<size_t>(length));
    data->length = length;
    data->text[length] = '\0';
    Release();
    m_data = data;
}

void CString::Release()
{
    Data* data = m_data;
    m_data = nullptr;
    if (data && --data->refs == 0)
        std::free(data);
}

CString::Data* CString::Allocate(int capacity)
{
    void* block = std::malloc(offsetof(CString::Data, text) + static_cast<size_t>(capacity) + 1);
    if (!block)
        throw std::bad_alloc();
    auto* data = static_cast<CString::Data*>(block);
    data->refs = 1;
    data->length = 0;
    data->capacity = capacity;
    data->text[0] = '\0';
    return data;
}

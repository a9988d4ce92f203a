#include "feeds/WideText.h"

#include <windows.h>

namespace {

// Every ANSI code page, UTF-8 included, writes the ASCII characters as themselves.
bool IsAscii(const wchar_t* text, int length)
{
    for (int i = 0; i < length; ++i) {
        if (text[i] >= 0x80)
            return false;
    }
    return true;
}

} // namespace

CString WideToAnsi(const wchar_t* text, int length)
{
    return WideToCodePage(text, length, ::GetACP());
}

CString WideToCodePage(const wchar_t* text, int length, UINT codePage)
{
    if (!text || length <= 0)
        return CString();
    if (IsAscii(text, length)) {
        CString result;
        char* buffer = result.GetBufferSetLength(length);
        for (int i = 0; i < length; ++i)
            buffer[i] = static_cast<char>(text[i]);
        result.ReleaseBuffer(length);
        return result;
    }
    // UTF-8 and UTF-7 take no flags; they have every character anyway.
    const DWORD flags = codePage == CP_UTF8 || codePage == CP_UTF7 ? 0 : WC_NO_BEST_FIT_CHARS;
    const int size = ::WideCharToMultiByte(codePage, flags, text, length, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return CString();
    CString result;
    ::WideCharToMultiByte(codePage, flags, text, length, result.GetBufferSetLength(size), size, nullptr, nullptr);
    result.ReleaseBuffer(size);
    return result;
}

std::wstring AnsiToWide(const CString& text)
{
    if (text.IsEmpty())
        return std::wstring();
    const int size = ::MultiByteToWideChar(CP_ACP, 0, text.GetString(), text.GetLength(), nullptr, 0);
    if (size <= 0)
        return std::wstring();
    std::wstring result(static_cast<size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.GetString(), text.GetLength(), &result[0], size);
    return result;
}

CString AnsiToUtf8(const CString& text)
{
    if (::GetACP() == CP_UTF8)
        return text;
    const std::wstring wide = AnsiToWide(text);
    return WideToCodePage(wide.data(), static_cast<int>(wide.size()), CP_UTF8);
}

bool CodePageToUtf8(const std::string& bytes, UINT codePage, std::string& utf8)
{
    utf8.clear();
    if (!::IsValidCodePage(codePage) || bytes.size() > 0x7FFFFFFF / 2)
        return false;
    if (bytes.empty())
        return true;
    const int length = static_cast<int>(bytes.size());
    const int wideSize = ::MultiByteToWideChar(codePage, 0, bytes.data(), length, nullptr, 0);
    if (wideSize <= 0)
        return false;
    std::wstring wide(static_cast<size_t>(wideSize), L'\0');
    ::MultiByteToWideChar(codePage, 0, bytes.data(), length, &wide[0], wideSize);
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideSize, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return false;
    utf8.resize(static_cast<size_t>(size));
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideSize, &utf8[0], size, nullptr, nullptr);
    return true;
}

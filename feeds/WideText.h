// Conversions between the parser's UTF-16 text and the program's 8-bit text in the ANSI code
// page (UTF-8 under the program's manifest).
#pragma once
#include "fw/CString.h"

#include <string>

#include <windows.h>

// Characters that the code page lacks become its default character, never a look-alike (a
// full-width quote or backslash stays out of the text rather than turn into a real one).
CString WideToAnsi(const wchar_t* text, int length);
// The same into the given code page.
CString WideToCodePage(const wchar_t* text, int length, UINT codePage);
std::wstring AnsiToWide(const CString& text);
// Text in the code page as UTF-8, through the system's conversion; false when the system has no
// such code page. Bytes that are no character of it become what the system makes of them.
bool CodePageToUtf8(const std::string& bytes, UINT codePage, std::string& utf8);
// The program's 8-bit text as UTF-8: the text itself under the program's manifest, converted on a
// Windows that ignores the manifest's code page and keeps its own.
CString AnsiToUtf8(const CString& text);

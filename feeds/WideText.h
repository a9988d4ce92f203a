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
// The program's 8-bit text as UTF-8: the text itself under the program's manifest, converted on a
// Windows that ignores the manifest's code page and keeps its own.
CString AnsiToUtf8(const CString& text);

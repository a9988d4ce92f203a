// Conversions between the parser's UTF-16 text and the program's 8-bit text in the ANSI code
// page (UTF-8 under the program's manifest).
#pragma once
#include "fw/CString.h"

#include <string>

// Characters that the code page lacks become its default character.
CString WideToAnsi(const wchar_t* text, int length);
std::wstring AnsiToWide(const CString& text);

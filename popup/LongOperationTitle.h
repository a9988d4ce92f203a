#pragma once

// Whether a window title announces a long operation: it contains "Progress", "Printing",
// "Copying" or "remaining" (exact case), or it has a "%" followed by a blank in second or
// third place, as in "7% done" or "42% complete". The title is UTF-16 as windows hold it, and
// places count characters: a surrogate pair is one character.
bool IsLongOperationTitle(const char16_t* title);

#ifdef _WIN32
static_assert(sizeof(wchar_t) == sizeof(char16_t), "window text is UTF-16");
inline bool IsLongOperationTitle(const wchar_t* title)
{
    return IsLongOperationTitle(reinterpret_cast<const char16_t*>(title));
}
#endif

// Where to cut a narrow string so that it fits a fixed-size text field of the shell's icon
// record without splitting a character. Neither function reads past the string's terminator
// or more than maxBytes + 1 bytes of it, whatever the bytes are.
#pragma once
#include <cstddef>

// Length of the longest prefix of text with at most maxBytes bytes that does not end inside a
// UTF-8 sequence. Malformed sequences are cut like single bytes.
size_t Utf8CutLength(const char* text, size_t maxBytes);

// The same for a double-byte code page, whose lead bytes isLeadByte recognises.
size_t DbcsCutLength(const char* text, size_t maxBytes, bool (*isLeadByte)(unsigned char));

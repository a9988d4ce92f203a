// Reading a number from the text of an edit box the way "%u" does.
#pragma once

// How many characters of a box's text the number is read from.
const int kScanUnsignedChars = 63;

// Reads the unsigned decimal number at the start of the first kScanUnsignedChars characters of
// text: blanks before it are skipped, a sign is taken (a minus wraps the number round to a huge
// value, as an unsigned reading does, never back to a small one), whatever follows the digits is ignored, and a number too large for
// 32 bits reads as the largest. False when there are no digits to read.
bool ScanUnsigned(const char* text, unsigned& value);

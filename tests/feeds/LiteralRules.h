// The text rules of the feed code done the plain way, as the rules read, to check the real
// implementations against on many inputs: the tag removal with a fresh search of the whole
// text for every tag, and the date read by the C library's own formatted input.
#pragma once
#include "fw/CString.h"

CString LiteralCleanDescription(CString text);

// Fills the outputs as ParsePubDate should, with sscanf. Gives false, writing nothing, for a
// text that sscanf cannot read safely or that ParsePubDate reads its own way: a token longer
// than 11 characters, or a number of more than 9 digits.
bool LibcParsePubDate(const char* text, int& year, int& month, int& day, int& hour, int& minute, int& second);

// Turns the HTML description of an item into text for the item view.
#pragma once
#include "fw/CString.h"

// Escapes the RTF specials (backslash and braces), removes paragraph tags and link ends,
// turns "<br />" into the paragraph mark "\par ", then removes every remaining tag: "<a"
// tags first, then "<div", then "<img", then anything from a "<" to the next ">" (or to
// the end of the text when no ">" follows). The paragraph marks are the only RTF control
// words in the result, and it contains no "<".
void CleanDescription(CString& text);

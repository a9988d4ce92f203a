// Small tolerant readers of markup (HTML or XML) for documents that are searched for a few
// attributes rather than parsed whole: the attributes of a tag, and the references in an
// attribute's value. Portable; the text may be anything.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

struct MarkupAttribute {
    std::string name;  // in lower case
    std::string value; // as written, references not decoded
};

// Reads the attributes of a tag from just after its name; `at` ends after the tag's '>', at a
// '<' that starts the next tag of a tag left open, or at the end of the text. Values may be
// quoted with either quote or not at all; a quote that is never closed takes the rest of the
// text. The first kMostTagAttributes attributes are kept; the rest are read and passed over.
const size_t kMostTagAttributes = 256;
std::vector<MarkupAttribute> ReadTagAttributes(const std::string& text, size_t& at);

// The value with its character references (&#38; &#x26;) and the five named references XML
// defines (&amp; &lt; &gt; &quot; &apos;) decoded, characters as UTF-8; any other reference, and
// one that names no character, stays as written.
std::string DecodeMarkupReferences(const std::string& value);

// The text without the white space (blanks, tabs, line ends, form feeds) at its edges.
std::string TrimMarkupBlanks(const std::string& text);

// Appends the character `code` (at most 0x10FFFF) encoded as UTF-8.
void AppendUtf8(std::string& out, unsigned long code);

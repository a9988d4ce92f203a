// Repairs of the faults that make feeds in the wild not well-formed, each for a document that the
// parser refused. Each takes the document in UTF-8 (or another ASCII-compatible encoding),
// changes it in place, and gives true when it changed anything. Each reads the document once
// from start to end.
#pragma once
#include <cstddef>
#include <string>

// What comes before the XML declaration (a byte-order mark too many, blanks, a server's warning),
// and text or elements between the declaration and the root element, go; comments, processing
// instructions and the DOCTYPE there stay. When the first element is not a feed's root ("rss",
// "feed", an RDF root) but one follows, the elements before it are junk as well.
bool StripLeadingJunk(std::string& xml);

// Control characters that XML forbids (all below 0x20 but tab, line feed and carriage return),
// U+FFFE and U+FFFF go, and so do character references to them, to surrogates or past U+10FFFF.
bool RemoveForbiddenCharacters(std::string& xml);

// An "&" that starts no reference, and a named reference that neither XML, HTML nor the
// document's DOCTYPE defines, are escaped so that they show as written ("AT&T", "&bogus;"); so is
// a "<" that starts no markup ("a < b"). CDATA sections, comments, processing instructions and
// the DOCTYPE are left as they are.
bool EscapeStrayMarkup(std::string& xml);

// A document that ends in its root's end tag cut short ("</rss", "</rs", "</"), with blanks after
// it or not, has that tag closed ("</rss>"): when the tags before it leave the root the one
// element open and the cut tag stands outside any other markup.
bool CloseCutRootEndTag(std::string& xml);

// Whatever follows the end of the root element goes: text, a second document, more elements.
bool CutAfterRoot(std::string& xml);

// Where the root element's start tag stands: the first element, or the first feed's root when
// the first element is not one. npos when there is no element.
size_t FindRootElement(const std::string& xml, size_t from);

// True for the names of a feed's root element: "rss", "feed", and "RDF" with any prefix.
bool IsFeedRootName(const std::string& name);

// A document can declare entities in its DOCTYPE that expand to far more than its own size
// ("billion laughs": each entity ten times the one before). The parser of some systems expands
// them all; such a document is refused before it reaches the parser.
//
// The guard reads the document as a parser does: the prolog with its comments and processing
// instructions, the internal subset with its comments, processing instructions and literals,
// each entity's replacement text with its character references turned into what they stand for,
// and the attributes to which the subset gives a default, which the parser puts, name and value,
// into every element of that name. What it cannot read with certainty it refuses: parameter
// entities, a declaration or an attribute type it does not know, a name outside ASCII in the
// subset, a document in an encoding whose bytes do not show its markup as ASCII (UTF-7, ISO 2022,
// EBCDIC, or one not known here).
// UTF-16 and UTF-32 documents are read as the characters they hold.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

// How many bytes the parser adds to the document when it expands the entity references of its
// body and the attribute defaults of its DOCTYPE; more than `limit` when that is more than
// `limit`, or when the document is refused for one of the reasons above or because an entity
// refers to itself. A document without a DOCTYPE, or with one that names only an external
// definition, adds nothing.
size_t EntityExpansion(const std::string& xml, size_t limit);

// True when the expansion is at most `limit` bytes.
bool EntityExpansionIsBounded(const std::string& xml, size_t limit);

// The general entities that the document's DOCTYPE declares, by name; none when it is refused.
std::vector<std::string> DeclaredEntityNames(const std::string& xml);

// A document can declare entities in its DOCTYPE that expand to far more than its own size
// ("billion laughs": each entity ten times the one before). The parser of some systems expands
// them all; such a document is refused before it reaches the parser.
#pragma once
#include <cstddef>
#include <string>

// True when the entities that the document's DOCTYPE declares expand, where the document uses
// them, to at most `limit` bytes in all, and none refers to itself. A document without a
// DOCTYPE, or with one that names only an external definition, always passes. Parameter
// entities in the DOCTYPE are refused: a feed has no use for them.
bool EntityExpansionIsBounded(const std::string& xml, size_t limit);

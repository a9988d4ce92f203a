// Many feeds are well-formed XML but for the named character references of HTML ("&nbsp;",
// "&eacute;"), which XML does not define, so the parser refuses the whole document.
#pragma once
#include <cstddef>
#include <string>

// Replaces every HTML named reference outside CDATA sections and comments with numeric
// references of the same characters. XML's own five and unknown names are left as they are.
// Gives true when anything was replaced.
bool ReplaceHtmlEntities(std::string& xml);

// True for a named reference that HTML defines ("nbsp", "eacute"), given without "&" and ";".
bool IsHtmlEntityName(const char* name, size_t length);

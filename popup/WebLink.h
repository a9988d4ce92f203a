// Which item links the popup opens in the browser, in what form, and how links and feed
// addresses are written into a query.
#pragma once
#include <string>

#include "fw/CString.h"

// The link without the blanks and control characters around it.
CString TrimLink(const char* link);

// True when the trimmed link is an http:// or https:// address (scheme in any case) with
// something after the scheme. Anything else (file:, mailto:, javascript:, a program path, a
// UNC path, nothing) is no link.
bool IsWebLink(const char* link);

// Which bytes PercentEncode writes as "%XX" (upper-case hex digits). Every other byte stays as it
// is, "%" among them, so that the escapes a link already holds are kept and a link encoded twice
// is encoded once: percent-decoding the result gives what percent-decoding the text gives.
enum class LinkEscapes {
    // For the browser's command line: everything a URL may not hold raw (control characters,
    // blanks, quotes, angle brackets, backslashes and the like, and every byte beyond ASCII).
    Browser,
    // For a query that is read unescaped: only what would end or split the request line or cut
    // the query short (control characters, blanks and "#"); "&", "?" and bytes beyond ASCII stay.
    Query,
};
std::string PercentEncode(const std::string& text, LinkEscapes escapes);

// The trimmed link, percent-encoded for the browser, so that the link reaches the browser as
// one argument.
CString EncodeWebLink(const char* link);

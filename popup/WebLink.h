// Which item links the popup opens in the browser, and in what form.
#pragma once
#include "fw/CString.h"

// The link without the blanks and control characters around it.
CString TrimLink(const char* link);

// True when the trimmed link is an http:// or https:// address (scheme in any case) with
// something after the scheme. Anything else (file:, mailto:, javascript:, a program path, a
// UNC path, nothing) is no link.
bool IsWebLink(const char* link);

// The trimmed link with every character that a URL may not hold raw (control characters,
// blanks, quotes, angle brackets, backslashes and the like, and every byte beyond ASCII)
// percent-encoded, so that the link reaches the browser as one argument.
CString EncodeWebLink(const char* link);

// People often give the address of a web site rather than of its feed. A site's page names its
// feed in its head, as a link with rel="alternate" and a feed type.
#pragma once
#include <string>

// The address of the first feed (RSS or Atom) that the head of the HTML page names, resolved
// against the page's own address, and an http or https one: a feed named at a local file, a
// share or any other scheme is passed over for the next. Empty when it names none of them.
std::string FindFeedLink(const std::string& page, const std::string& pageUrl);

// A reference (absolute, or relative as in a web page) resolved against a base address.
std::string ResolveUrl(const std::string& base, const std::string& reference);

// True for an address with the scheme http or https, in any letter case.
bool IsHttpUrl(const std::string& url);

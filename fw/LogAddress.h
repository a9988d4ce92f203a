// Web addresses as a log may hold them: without what may be private in them.
#pragma once
#include <string>

// scheme://host[:port]/path of an absolute address: no user name or password, no query, no
// fragment; control characters and spaces become '?'. "(no address)" for text that is not an
// absolute address.
std::string AddressForLog(const std::string& url);
// scheme://host[:port] alone, the same way.
std::string HostForLog(const std::string& url);

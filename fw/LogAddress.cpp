#include "fw/LogAddress.h"

namespace {

const char kNoAddress[] = "(no address)";

bool SplitAddress(const std::string& url, std::string& origin, std::string& path)
{
    const std::string::size_type colon = url.find("://");
    if (colon == std::string::npos || colon == 0)
        return false;
    for (std::string::size_type i = 0; i < colon; ++i) {
        const char c = url[i];
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (i > 0 && ((c >= '0' && c <= '9') || c == '+' ||
                                                                             c == '-' || c == '.'))))
            return false;
    }
    const std::string::size_type hostStart = colon + 3;
    const std::string::size_type authorityEnd = url.find_first_of("/?#", hostStart);
    std::string authority = url.substr(hostStart, authorityEnd == std::string::npos ? std::string::npos
                                                                                    : authorityEnd - hostStart);
    const std::string::size_type at = authority.rfind('@');
    if (at != std::string::npos)
        authority.erase(0, at + 1);
    if (authority.empty())
        return false;
    origin = url.substr(0, hostStart) + authority;
    path.clear();
    if (authorityEnd != std::string::npos && url[authorityEnd] == '/') {
        const std::string::size_type pathEnd = url.find_first_of("?#", authorityEnd);
        path = url.substr(authorityEnd, pathEnd == std::string::npos ? std::string::npos : pathEnd - authorityEnd);
    }
    return true;
}

std::string Printable(std::string text)
{
    for (char& c : text) {
        if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7f)
            c = '?';
    }
    return text;
}

} // namespace

std::string AddressForLog(const std::string& url)
{
    std::string origin, path;
    return SplitAddress(url, origin, path) ? Printable(origin + path) : kNoAddress;
}

std::string HostForLog(const std::string& url)
{
    std::string origin, path;
    return SplitAddress(url, origin, path) ? Printable(origin) : kNoAddress;
}

#include "popup/WebLink.h"

#include <cstring>

#include "feeds/FeedDiscovery.h"

namespace {

bool IsBlank(unsigned char c)
{
    return c <= 0x20 || c == 0x7F;
}

bool MustBeEncoded(unsigned char c, LinkEscapes escapes)
{
    if (c <= 0x20 || c == 0x7F)
        return true;
    if (escapes == LinkEscapes::Query)
        return c == '#';
    return c > 0x7F || std::strchr("\"<>\\^`{|}", c) != nullptr;
}

} // namespace

CString TrimLink(const char* link)
{
    const unsigned char* start = reinterpret_cast<const unsigned char*>(link ? link : "");
    while (*start && IsBlank(*start))
        ++start;
    const unsigned char* end = start + std::strlen(reinterpret_cast<const char*>(start));
    while (end > start && IsBlank(end[-1]))
        --end;
    return CString(reinterpret_cast<const char*>(start), static_cast<int>(end - start));
}

bool IsWebLink(const char* link)
{
    const std::string trimmed = TrimLink(link).GetString();
    return IsHttpUrl(trimmed) && trimmed.size() > trimmed.find("//") + 2; // something after the scheme
}

std::string PercentEncode(const std::string& text, LinkEscapes escapes)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(text.size());
    for (const char byte : text) {
        const unsigned char c = static_cast<unsigned char>(byte);
        if (MustBeEncoded(c, escapes)) {
            encoded += '%';
            encoded += kHex[c >> 4];
            encoded += kHex[c & 0x0F];
        } else {
            encoded += byte;
        }
    }
    return encoded;
}

CString EncodeWebLink(const char* link)
{
    const CString trimmed = TrimLink(link);
    const std::string encoded = PercentEncode(std::string(trimmed.GetString(), trimmed.GetLength()), LinkEscapes::Browser);
    return CString(encoded.c_str(), static_cast<int>(encoded.size()));
}

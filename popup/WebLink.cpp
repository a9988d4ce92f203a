#include "popup/WebLink.h"

#include <cstring>
#include <string>

#include "feeds/FeedDiscovery.h"

namespace {

bool IsBlank(unsigned char c)
{
    return c <= 0x20 || c == 0x7F;
}

bool MustBeEncoded(unsigned char c)
{
    return c <= 0x20 || c >= 0x7F || std::strchr("\"<>\\^`{|}", c) != nullptr;
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

CString EncodeWebLink(const char* link)
{
    static const char kHex[] = "0123456789ABCDEF";
    const CString trimmed = TrimLink(link);
    CString encoded;
    for (int i = 0; i < trimmed.GetLength(); ++i) {
        const unsigned char c = static_cast<unsigned char>(trimmed.GetAt(i));
        if (MustBeEncoded(c)) {
            encoded += '%';
            encoded += kHex[c >> 4];
            encoded += kHex[c & 0x0F];
        } else {
            encoded += static_cast<char>(c);
        }
    }
    return encoded;
}

#include "popup/WebLink.h"

#include <cstring>

namespace {

bool IsBlank(unsigned char c)
{
    return c <= 0x20 || c == 0x7F;
}

bool StartsWithNoCase(const char* text, const char* prefix)
{
    for (; *prefix; ++text, ++prefix) {
        char c = *text;
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != *prefix)
            return false;
    }
    return true;
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
    const CString trimmed = TrimLink(link);
    size_t scheme = 0;
    if (StartsWithNoCase(trimmed, "http://"))
        scheme = 7;
    else if (StartsWithNoCase(trimmed, "https://"))
        scheme = 8;
    return scheme && static_cast<size_t>(trimmed.GetLength()) > scheme;
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

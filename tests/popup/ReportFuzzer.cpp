// Feed addresses and links from hostile feeds, as the reports carry them to the service: nothing
// may crash; no control byte, blank or "#" ever comes out (it would end the request line, add a
// header or cut the query short); decoding what comes out gives back what went in (without the
// blanks around it); and a feed that is no web address is never reported.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "feeds/FeedDiscovery.h"
#include "popup/ReportPath.h"
#include "popup/WebLink.h"
#include "tests/FuzzCheck.h"

namespace {

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Percent-decoding as a server does it: "%" and two hex digits is a byte; any other "%" stays.
std::string Decode(const std::string& text)
{
    std::string decoded;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
            decoded += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            decoded += text[i];
        }
    }
    return decoded;
}

bool SplitsARequest(unsigned char c)
{
    return c < 0x20 || c == 0x7F || c == ' ' || c == '#';
}

bool RawInABrowserLink(unsigned char c)
{
    return c <= 0x20 || c >= 0x7F || std::strchr("\"<>\\^`{|}", c) != nullptr;
}

void CheckEncoding(const std::string& text, LinkEscapes escapes, bool (*forbidden)(unsigned char))
{
    const std::string encoded = PercentEncode(text, escapes);
    for (char c : encoded)
        Check(!forbidden(static_cast<unsigned char>(c)), "no byte comes out that had to be encoded");
    Check(Decode(encoded) == Decode(text), "decoding the encoded text gives what decoding the text gives");
    if (text.find('%') == std::string::npos)
        Check(Decode(encoded) == text, "decoding gives back a text without escapes of its own");
    Check(PercentEncode(encoded, escapes) == encoded, "encoding twice is encoding once");
}

void CheckReport(const std::string& path, const char* prefix, const std::string& reported)
{
    for (char c : path)
        Check(!SplitsARequest(static_cast<unsigned char>(c)), "a report's path holds nothing that splits a request");
    Check(path.compare(0, std::strlen(prefix), prefix) == 0, "the report's path and action");
    Check(Decode(path.substr(std::strlen(prefix))) == Decode(reported), "the report decodes to what was reported");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    CheckEncoding(bytes, LinkEscapes::Query, SplitsARequest);
    CheckEncoding(bytes, LinkEscapes::Browser, RawInABrowserLink);

    // A feed address and an item link, as the feed's text gives them (up to a NUL).
    const size_t cut = bytes.find('\n') == std::string::npos ? bytes.size() / 2 : bytes.find('\n');
    const std::string feed = std::string(bytes.substr(0, cut).c_str());
    const std::string link = std::string(bytes.substr(std::min(cut + 1, bytes.size())).c_str());

    const std::string trimmedFeed(TrimLink(feed.c_str()));
    const std::string view = ViewReportPath(feed.c_str());
    Check(view.empty() == !IsHttpUrl(trimmedFeed), "a feed is reported when and only when it is a web address");
    if (!view.empty())
        CheckReport(view, "/clicks.php?action=view&feed=", trimmedFeed);

    const std::string click = ClickReportPath(feed.c_str(), link.c_str());
    if (!click.empty()) {
        Check(trimmedFeed.empty() || IsHttpUrl(trimmedFeed), "a click names no feed that is not a web address");
        Check(IsWebLink(link.c_str()), "a click's link is a web link");
        CheckReport(click, "/clicks.php?action=browse&feed=", trimmedFeed + "&url=" + std::string(TrimLink(link.c_str())));
    }
    return 0;
}

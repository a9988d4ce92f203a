#include "feeds/FeedDiscovery.h"

#include "fw/MarkupText.h"

#include <cctype>
#include <cstring>
#include <vector>

namespace {

char Lower(char c)
{
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

std::string LowerCase(std::string text)
{
    for (char& c : text)
        c = Lower(c);
    return text;
}

bool StartsWithNoCase(const std::string& text, size_t at, const char* prefix)
{
    const size_t length = std::strlen(prefix);
    if (at > text.size() || text.size() - at < length)
        return false;
    for (size_t i = 0; i < length; ++i) {
        if (Lower(text[at + i]) != prefix[i])
            return false;
    }
    return true;
}

bool HasToken(const std::string& list, const char* token)
{
    const std::string lower = LowerCase(list);
    size_t at = 0;
    while (at < lower.size()) {
        while (at < lower.size() && IsBlank(lower[at]))
            ++at;
        size_t end = at;
        while (end < lower.size() && !IsBlank(lower[end]))
            ++end;
        if (lower.compare(at, end - at, token) == 0 && end > at)
            return true;
        at = end;
    }
    return false;
}

bool IsFeedType(const std::string& type)
{
    const std::string lower = LowerCase(TrimMarkupBlanks(type));
    return lower == "application/rss+xml" || lower == "application/atom+xml";
}

// Where the scheme of an address ends (at its ':'), or npos when it has none.
size_t SchemeEnd(const std::string& url)
{
    if (url.empty() || !std::isalpha(static_cast<unsigned char>(url[0])))
        return std::string::npos;
    for (size_t i = 1; i < url.size(); ++i) {
        const char c = url[i];
        if (c == ':')
            return i;
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.')
            return std::string::npos;
    }
    return std::string::npos;
}

// "a/b/../c/./d" becomes "a/c/d", as browsers resolve a path.
std::string RemoveDotSegments(const std::string& path)
{
    std::vector<std::string> segments;
    size_t at = 0;
    const bool absolute = !path.empty() && path[0] == '/';
    if (absolute)
        at = 1;
    bool endsInDirectory = false;
    while (at <= path.size()) {
        size_t end = path.find('/', at);
        if (end == std::string::npos)
            end = path.size();
        const std::string segment = path.substr(at, end - at);
        endsInDirectory = false;
        if (segment == "..") {
            if (!segments.empty())
                segments.pop_back();
            endsInDirectory = true;
        } else if (segment == ".") {
            endsInDirectory = true;
        } else {
            segments.push_back(segment);
        }
        at = end + 1;
    }
    std::string out = absolute ? "/" : "";
    for (size_t i = 0; i < segments.size(); ++i) {
        if (i)
            out += '/';
        out += segments[i];
    }
    if (endsInDirectory && !segments.empty())
        out += '/';
    return out;
}

} // namespace

bool IsHttpUrl(const std::string& url)
{
    return StartsWithNoCase(url, 0, "http://") || StartsWithNoCase(url, 0, "https://");
}

std::string ResolveUrl(const std::string& base, const std::string& reference)
{
    const std::string href = TrimMarkupBlanks(reference);
    if (SchemeEnd(href) != std::string::npos)
        return href;
    const size_t schemeEnd = SchemeEnd(base);
    if (schemeEnd == std::string::npos)
        return href;
    const std::string scheme = base.substr(0, schemeEnd + 1); // "http:"
    if (href.compare(0, 2, "//") == 0)
        return scheme + href;

    // base = scheme "//" authority path [?query] [#fragment]
    size_t authorityEnd = schemeEnd + 1;
    if (base.compare(authorityEnd, 2, "//") == 0)
        authorityEnd = base.find_first_of("/?#", authorityEnd + 2);
    if (authorityEnd == std::string::npos)
        authorityEnd = base.size();
    const std::string origin = base.substr(0, authorityEnd);
    const size_t pathEnd = std::min(base.find_first_of("?#", authorityEnd), base.size());
    std::string path = base.substr(authorityEnd, pathEnd - authorityEnd);
    if (path.empty())
        path = "/";

    if (href.empty())
        return base.substr(0, std::min(base.find('#'), base.size()));
    if (href[0] == '#')
        return base.substr(0, std::min(base.find('#'), base.size())) + href;
    if (href[0] == '?')
        return origin + path + href;
    const size_t hrefPathEnd = std::min(href.find_first_of("?#"), href.size());
    const std::string rest = href.substr(hrefPathEnd);
    std::string hrefPath = href.substr(0, hrefPathEnd);
    if (hrefPath[0] != '/')
        hrefPath = path.substr(0, path.rfind('/') + 1) + hrefPath;
    return origin + RemoveDotSegments(hrefPath) + rest;
}

std::string FindFeedLink(const std::string& page, const std::string& pageUrl)
{
    size_t at = 0;
    while ((at = page.find('<', at)) != std::string::npos) {
        if (page.compare(at, 4, "<!--") == 0) {
            const size_t close = page.find("-->", at + 4);
            if (close == std::string::npos)
                return std::string();
            at = close + 3;
            continue;
        }
        if (StartsWithNoCase(page, at, "</head") || StartsWithNoCase(page, at, "<body"))
            return std::string(); // only the head names the page's feeds
        const bool isLink = StartsWithNoCase(page, at, "<link")
            && (at + 5 == page.size() || IsBlank(page[at + 5]) || page[at + 5] == '/' || page[at + 5] == '>');
        if (!isLink) {
            ++at;
            continue;
        }
        at += 5;
        std::string rel, type, href;
        bool hasHref = false;
        for (const MarkupAttribute& attribute : ReadTagAttributes(page, at)) {
            if (attribute.name == "rel")
                rel = attribute.value;
            else if (attribute.name == "type")
                type = attribute.value;
            else if (attribute.name == "href") {
                href = DecodeMarkupReferences(attribute.value);
                hasHref = true;
            }
        }
        if (!HasToken(rel, "alternate") || !IsFeedType(type) || !hasHref || TrimMarkupBlanks(href).empty())
            continue;
        const std::string feed = ResolveUrl(pageUrl, href);
        if (IsHttpUrl(feed))
            return feed;
    }
    return std::string();
}

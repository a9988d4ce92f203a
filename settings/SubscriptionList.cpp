#include "settings/SubscriptionList.h"

#include <cctype>
#include <cstring>

#include "feeds/FeedDiscovery.h"
#include "fw/MarkupText.h"

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

bool EqualNoCase(const std::string& a, const char* b)
{
    if (a.size() != std::strlen(b))
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

bool StartsWithNoCase(const std::string& text, size_t at, const char* prefix)
{
    const size_t length = std::strlen(prefix);
    return text.size() >= at + length && EqualNoCase(text.substr(at, length), prefix);
}

// Where the markup at `at` ("<!...>", "<?...?>", a comment or a CDATA section) ends; the end of
// the text when it is never closed. A declaration's internal subset and quoted literals may
// hold '>' of their own.
size_t SkipMarkup(const std::string& text, size_t at)
{
    const auto after = [&](const char* close, size_t from) {
        const size_t found = text.find(close, from);
        return found == std::string::npos ? text.size() : found + std::strlen(close);
    };
    if (text.compare(at, 4, "<!--") == 0)
        return after("-->", at + 4);
    if (text.compare(at, 9, "<![CDATA[") == 0)
        return after("]]>", at + 9);
    if (text.compare(at, 2, "<?") == 0)
        return after("?>", at + 2);
    int depth = 0;
    for (size_t i = at + 2; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"' || c == '\'') {
            const size_t close = text.find(c, i + 1);
            if (close == std::string::npos)
                return text.size();
            i = close;
        } else if (c == '[') {
            ++depth;
        } else if (c == ']' && depth > 0) {
            --depth;
        } else if (c == '>' && depth == 0) {
            return i + 1;
        }
    }
    return text.size();
}

// Calls `element(name, attributes)` for every start tag in document order; it answers whether
// to go on. Comments, declarations, processing instructions, CDATA sections and end tags are
// passed over, and so is a '<' in a quoted attribute value.
template <class Element>
void ForEachStartTag(const std::string& text, Element element)
{
    size_t at = 0;
    while ((at = text.find('<', at)) != std::string::npos) {
        const char next = at + 1 < text.size() ? text[at + 1] : '\0';
        if (next == '!' || next == '?') {
            at = SkipMarkup(text, at);
            continue;
        }
        if (next == '/' || IsBlank(next) || next == '\0' || next == '<' || next == '>') {
            ++at;
            continue;
        }
        size_t end = at + 1;
        while (end < text.size() && !IsBlank(text[end]) && text[end] != '>' && text[end] != '/')
            ++end;
        const std::string name = text.substr(at + 1, end - at - 1);
        at = end;
        if (!element(name, ReadTagAttributes(text, at)))
            return;
    }
}

// An http or https address with something after the scheme, and no control character in it.
bool IsWebAddress(const std::string& address)
{
    for (char c : address) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return false;
    }
    return IsHttpUrl(address) && address.size() > address.find("//") + 2;
}

std::string LocalName(const std::string& name)
{
    const size_t colon = name.rfind(':');
    return colon == std::string::npos ? name : name.substr(colon + 1);
}

} // namespace

DroppedDocument KindOfDocument(const std::string& document)
{
    DroppedDocument kind = DroppedDocument::Other;
    ForEachStartTag(document, [&](const std::string& name, const std::vector<MarkupAttribute>&) {
        const std::string local = LocalName(name);
        if (local == "opml")
            kind = DroppedDocument::SubscriptionList;
        else if (local == "rss" || local == "RDF" || local == "feed")
            kind = DroppedDocument::Feed;
        return false; // the root decides
    });
    return kind;
}

std::vector<std::string> ReadSubscriptionList(const std::string& document)
{
    std::vector<std::string> feeds;
    ForEachStartTag(document, [&](const std::string& name, const std::vector<MarkupAttribute>& attributes) {
        if (!EqualNoCase(LocalName(name), "outline"))
            return true;
        for (const MarkupAttribute& attribute : attributes) {
            if (attribute.name != "xmlurl")
                continue;
            const std::string address = FeedLinkAddress(TrimMarkupBlanks(DecodeMarkupReferences(attribute.value)));
            bool named = false;
            for (const std::string& feed : feeds)
                named = named || EqualNoCase(feed, address.c_str());
            if (IsWebAddress(address) && !named)
                feeds.push_back(address);
            break;
        }
        return feeds.size() < kMostFeedsOfAList;
    });
    return feeds;
}

std::string FeedLinkAddress(const std::string& link)
{
    if (!StartsWithNoCase(link, 0, "feed:"))
        return link;
    const std::string rest = link.substr(5);
    if (rest.compare(0, 2, "//") == 0) {
        const std::string inner = rest.substr(2);
        return IsHttpUrl(inner) ? inner : "http:" + rest;
    }
    return IsHttpUrl(rest) ? rest : link;
}

bool IsSubscriptionListLink(const std::string& link)
{
    if (!IsWebAddress(link))
        return false;
    const size_t pathStart = link.find_first_of("/?#", link.find("//") + 2);
    if (pathStart == std::string::npos || link[pathStart] != '/')
        return false;
    const std::string path = link.substr(pathStart, link.find_first_of("?#", pathStart) - pathStart);
    return path.size() >= 5 && EqualNoCase(path.substr(path.size() - 5), ".opml");
}

std::string FeedOwnAddress(const std::string& document)
{
    std::string own;
    ForEachStartTag(document, [&](const std::string& name, const std::vector<MarkupAttribute>& attributes) {
        const std::string local = LocalName(name);
        if (EqualNoCase(local, "item") || EqualNoCase(local, "entry"))
            return false; // the items' own links are theirs
        if (local != "link")
            return true;
        std::string rel, href;
        for (const MarkupAttribute& attribute : attributes) {
            if (attribute.name == "rel" && rel.empty())
                rel = TrimMarkupBlanks(DecodeMarkupReferences(attribute.value));
            else if (attribute.name == "href" && href.empty())
                href = FeedLinkAddress(TrimMarkupBlanks(DecodeMarkupReferences(attribute.value)));
        }
        if (EqualNoCase(rel, "self") && IsWebAddress(href)) {
            own = href;
            return false;
        }
        return true;
    });
    return own;
}

std::vector<std::string> FeedsOfDroppedDocument(const std::string& document, const std::string& address)
{
    switch (KindOfDocument(document)) {
    case DroppedDocument::SubscriptionList:
        return ReadSubscriptionList(document);
    case DroppedDocument::Feed: {
        if (IsWebAddress(address))
            return {address};
        const std::string own = FeedOwnAddress(document);
        return own.empty() ? std::vector<std::string>() : std::vector<std::string>{own};
    }
    default:
        return {};
    }
}

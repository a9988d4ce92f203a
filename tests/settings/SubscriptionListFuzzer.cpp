// Hostile documents for the subscription list reader: nothing may crash, and what it gives must
// be what it promises: web addresses only, each once, no more than its share, in the list.
#include "feeds/FeedDiscovery.h"
#include "settings/FeedListRules.h"
#include "settings/SubscriptionList.h"
#include "tests/FuzzCheck.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string document(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> feeds = ReadSubscriptionList(document);
    Check(feeds.size() <= kMostFeedsOfAList, "no more feeds than a list's share");
    CStringArray none;
    Check(NewFeeds(none, feeds).size() == feeds.size(), "each feed once");
    for (const std::string& feed : feeds) {
        Check(IsHttpUrl(feed), "web addresses only");
        for (char c : feed)
            Check(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F, "no control characters");
    }
    const std::vector<std::string> dropped = FeedsOfDroppedDocument(document, "C:\\dropped.xml");
    switch (KindOfDocument(document)) {
    case DroppedDocument::SubscriptionList:
        Check(dropped == feeds, "a list gives its feeds");
        break;
    case DroppedDocument::Feed:
        Check(dropped.size() <= 1, "a feed gives one address at most");
        for (const std::string& feed : dropped)
            Check(feed == FeedOwnAddress(document) && IsHttpUrl(feed), "a feed file gives the web address it names");
        Check(FeedsOfDroppedDocument(document, "http://a.test/rss") == std::vector<std::string>{"http://a.test/rss"},
              "a feed at a web address gives that address");
        break;
    case DroppedDocument::Other:
        Check(dropped.empty(), "anything else gives nothing");
        break;
    }
    const std::string own = FeedOwnAddress(document);
    Check(own.empty() || IsHttpUrl(own), "a feed's own address is a web address");
    for (char c : own)
        Check(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F, "no control characters in a feed's own address");
    const std::string link = FeedLinkAddress(document);
    Check(link == document || IsHttpUrl(link), "a feed: link becomes a web address or stays");
    IsSubscriptionListLink(document);
    return 0;
}

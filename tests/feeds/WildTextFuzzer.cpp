// libFuzzer target for the functions that take in what a feed server or web page sends besides
// RSS: the HTML reference replacement, the feed link of a web page, the resolution of addresses
// and the entity-expansion guard. The first byte chooses the function.
#include "feeds/EntityGuard.h"
#include "feeds/FeedDiscovery.h"
#include "feeds/HtmlEntities.h"
#include "tests/FuzzCheck.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const std::string input(reinterpret_cast<const char*>(data + 1), size - 1);
    switch (data[0] % 4) {
    case 0: {
        std::string text = input;
        const bool replaced = ReplaceHtmlEntities(text);
        Check(replaced == (text != input), "the result tells whether anything changed");
        Check(input.find('&') != std::string::npos || !replaced, "text without references stays");
        std::string again = text;
        Check(!ReplaceHtmlEntities(again), "nothing is left to replace");
        break;
    }
    case 1: {
        const size_t split = input.find('\n');
        const std::string base = split == std::string::npos ? "http://s.example/a/b" : input.substr(0, split);
        const std::string page = split == std::string::npos ? input : input.substr(split + 1);
        const std::string link = FindFeedLink(page, base);
        Check(link.empty() || IsHttpUrl(link), "only http and https feeds are found");
        break;
    }
    case 2: {
        const size_t split = input.find('\n');
        const std::string resolved = ResolveUrl(input.substr(0, split), split == std::string::npos ? "" : input.substr(split + 1));
        Check(resolved.size() <= 2 * input.size() + 8, "a resolved address is not longer than its parts");
        break;
    }
    default:
        EntityExpansionIsBounded(input, 1 << 16);
        break;
    }
    return 0;
}

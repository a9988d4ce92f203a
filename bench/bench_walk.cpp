// Benchmark of the feed walk on documents that nest a channel field in itself (not a test):
// 40,000 "ttl" elements with one character at the bottom, and 4,000 with 1 MB of text at the
// bottom. Prints the time of the walk of each, best of three.
//
//   bench_walk
#include "feeds/CFeed.h"

#include "tests/feeds/CTestDocument.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

namespace {

double WalkMs(int depth, const std::string& text)
{
    CTestDocument document;
    int parent = document.AddElement(document.AddElement(CTestDocument::kDocument, "rss"), "channel");
    for (int i = 0; i < depth; ++i)
        parent = document.AddElement(parent, "ttl");
    document.AddText(parent, text.c_str());
    double best = 1e100;
    for (int run = 0; run < 3; ++run) {
        CFeed feed;
        const auto start = std::chrono::steady_clock::now();
        feed.ParseNode(*document.Root());
        const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - start;
        best = std::min(best, elapsed.count());
    }
    return best;
}

} // namespace

int main()
{
    std::printf("walk of 40,000 nested ttl elements: %.1f ms\n", WalkMs(40000, "x"));
    std::printf("walk of 4,000 nested ttl elements over 1 MB of text: %.1f ms\n", WalkMs(4000, std::string(1 << 20, 'x')));
    return 0;
}

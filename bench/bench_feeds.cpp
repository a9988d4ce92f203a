// Benchmark of CFeedLoader::Load against a bare parse and walk of the same file by the platform's
// XML parser. Writes feeds of 100, 1,000 and 10,000 items beside itself, then for each size
// times both several times, alternately, and prints the medians and the best times, and the
// ratio of each pair.
//
//   bench_feeds [--runs N] [--sizes 100,1000,10000] [--breakdown] [--nested-only]
//
// The feeds are written both newest first (as news sites write them) and oldest first. Two
// more documents nest a channel field in itself: 40,000 "ttl" elements, and 4,000 holding 1 MB
// of text at the bottom; their loads are timed on their own.
#include "feeds/CFeed.h"
#include "feeds/CFeedDownloader.h"
#include "feeds/CFeedLoader.h"
#include "feeds/CMsxmlNode.h"
#include "feeds/FeedFile.h"
#include "feeds/WideText.h"

#include <windows.h>
#include <msxml2.h>
#include <objbase.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const CLSID kClsidDomDocument = {0xF6D90F11, 0x9C73, 0x11D3, {0xB3, 0x2E, 0x00, 0xC0, 0x4F, 0x99, 0x0B, 0xB4}};
const IID kIidXmlDomDocument = {0x2933BF81, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
const IID kIidXmlDomNode = {0x2933BF80, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

double NowMs()
{
    LARGE_INTEGER frequency, counter;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&counter);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// A feed the way news sites write them, with HTML descriptions escaped.
void WriteFeed(const std::string& path, int items, bool newestFirst)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return;
    std::fprintf(file, "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<rss version=\"2.0\">\n<channel>\n"
                       "<title>Bench Harbour News</title>\n<link>http://news.example/</link>\n"
                       "<description>Everything that happens at the harbour</description>\n"
                       "<language>en-gb</language>\n<ttl>30</ttl>\n"
                       "<image><url>http://news.example/logo.png</url><title>Logo</title>"
                       "<link>http://news.example/</link></image>\n");
    for (int n = 0; n < items; ++n) {
        const int i = newestFirst ? items - 1 - n : n;
        const int minutes = i * 37;
        std::fprintf(file,
                     "<item>\n<title>Ship number %d reaches the harbour after a long voyage</title>\n"
                     "<link>http://news.example/articles/%d.html</link>\n"
                     "<description>&lt;p&gt;The ship &lt;a href=\"http://news.example/ships/%d\"&gt;number %d&lt;/a&gt; "
                     "came in at dawn with a cargo of timber, tea and letters.&lt;/p&gt;&lt;br /&gt;"
                     "&lt;img src=\"http://news.example/img/%d.jpg\" /&gt;The crew of %d were greeted on the quay "
                     "by a crowd of several hundred.</description>\n"
                     "<pubDate>Mon, %02d %s %d %02d:%02d:%02d GMT</pubDate>\n"
                     "<guid>http://news.example/articles/%d.html</guid>\n<category>Shipping</category>\n"
                     "<author>desk@news.example (Harbour desk)</author>\n</item>\n",
                     i, i, i, i, i, 10 + i % 40, 1 + (minutes / 60 / 24 / 28) % 28, kMonths[(i / 500) % 12],
                     2000 + i / 6000, (minutes / 60) % 24, minutes % 60, i % 60, i);
    }
    std::fprintf(file, "</channel>\n</rss>\n");
    std::fclose(file);
}

struct WalkCount {
    long nodes = 0;
};

void BareWalk(IXMLDOMNode* node, WalkCount& count)
{
    ++count.nodes;
    BSTR name = nullptr;
    DOMNodeType type = NODE_INVALID;
    node->get_nodeName(&name); // what any walk needs to decide on a node
    node->get_nodeType(&type);
    ::SysFreeString(name);
    IXMLDOMNode* child = nullptr;
    node->get_firstChild(&child);
    while (child) {
        BareWalk(child, count);
        IXMLDOMNode* next = nullptr;
        child->get_nextSibling(&next);
        child->Release();
        child = next;
    }
}

// The parser set up as CFeedLoader sets it up, with the file loaded.
IXMLDOMDocument* ParseOnly(const std::string& path)
{
    IXMLDOMDocument* document = nullptr;
    if (FAILED(::CoCreateInstance(kClsidDomDocument, nullptr, CLSCTX_INPROC_SERVER, kIidXmlDomDocument,
                                  reinterpret_cast<void**>(&document))))
        return nullptr;
    document->put_async(VARIANT_FALSE);
    document->put_resolveExternals(VARIANT_FALSE);
    document->put_validateOnParse(VARIANT_FALSE);
    const std::wstring widePath = AnsiToWide(CString(path.c_str()));
    VARIANT source;
    ::VariantInit(&source);
    source.vt = VT_BSTR;
    source.bstrVal = ::SysAllocString(widePath.c_str());
    VARIANT_BOOL loaded = VARIANT_FALSE;
    document->load(source, &loaded);
    ::VariantClear(&source);
    return document;
}

// Parse and walk, nothing else: the floor under any loader built on this parser.
double TimeBareParse(const std::string& path, WalkCount& count)
{
    const double start = NowMs();
    IXMLDOMDocument* document = ParseOnly(path);
    if (!document)
        return -1;
    IXMLDOMNode* root = nullptr;
    if (SUCCEEDED(document->QueryInterface(kIidXmlDomNode, reinterpret_cast<void**>(&root)))) {
        count = WalkCount();
        BareWalk(root, count);
        root->Release();
    }
    document->Release();
    return NowMs() - start;
}

// Where the time of a load goes: download, parse, bare walk, the feed walk.
void Breakdown(const std::string& url, const std::string& path)
{
    const CString feedFile = GetFeedFilePath();
    double start = NowMs();
    CFeedDownloader::Download(CString(url.c_str()), feedFile);
    const double download = NowMs() - start;

    start = NowMs();
    IXMLDOMDocument* document = ParseOnly(path);
    const double parse = NowMs() - start;
    IXMLDOMNode* root = nullptr;
    if (!document || FAILED(document->QueryInterface(kIidXmlDomNode, reinterpret_cast<void**>(&root)))) {
        std::printf("    breakdown: the parser failed\n");
        if (document)
            document->Release();
        return;
    }
    start = NowMs();
    WalkCount count;
    BareWalk(root, count);
    const double bareWalk = NowMs() - start;

    CFeed feed;
    root->AddRef();
    start = NowMs();
    {
        const CMsxmlNode node(root);
        feed.ParseNode(node);
    }
    const double feedWalk = NowMs() - start;
    root->Release();
    document->Release();
    std::printf("    breakdown: download %.1f, parse %.1f, bare walk %.1f, feed walk %.1f ms\n", download, parse,
                bareWalk, feedWalk);
}

double TimeLoad(CFeed& feed, const std::string& url, int& items)
{
    feed.m_items.RemoveAll();
    feed.m_strError.Empty(); // the check column tells of this load, not of an earlier one
    const double start = NowMs();
    CFeedLoader(feed).Load(CString(url.c_str()));
    const double elapsed = NowMs() - start;
    items = feed.m_items.GetSize();
    return elapsed;
}

// A channel field nested in itself `depth` times, with `text` at the bottom.
void WriteNestedFeed(const std::string& path, int depth, const std::string& text)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return;
    std::fputs("<?xml version=\"1.0\"?>\n<rss version=\"2.0\"><channel><title>Nested</title>", file);
    for (int i = 0; i < depth; ++i)
        std::fputs("<ttl>", file);
    std::fwrite(text.data(), 1, text.size(), file);
    for (int i = 0; i < depth; ++i)
        std::fputs("</ttl>", file);
    std::fputs("</channel></rss>\n", file);
    std::fclose(file);
}

std::string FileUrl(const std::string& path)
{
    std::string url = "file:///" + path;
    std::replace(url.begin(), url.end(), '\\', '/');
    return url;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::vector<int> ParseSizes(const char* text)
{
    std::vector<int> sizes;
    for (const char* at = text; *at;) {
        sizes.push_back(std::atoi(at));
        at = std::strchr(at, ',');
        if (!at)
            break;
        ++at;
    }
    return sizes;
}

} // namespace

int main(int argc, char** argv)
{
    int runs = 5;
    bool breakdown = false;
    bool nestedOnly = false;
    std::vector<int> sizes = {100, 1000, 10000};
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--breakdown")
            breakdown = true;
        else if (option == "--nested-only")
            nestedOnly = true;
        else if (option == "--runs" && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (option == "--sizes" && i + 1 < argc)
            sizes = ParseSizes(argv[++i]);
    }
    ::CoInitialize(nullptr);
    {
        CFeed feed;
        const std::string folder = GetModuleDirectory().GetString();
        std::printf("%-6s %-12s %10s %10s %6s   %10s %10s %6s  %s\n", "items", "order", "Load ms", "bare ms", "ratio",
                    "Load best", "bare best", "ratio", "check");
        const struct {
            int depth;
            size_t textBytes;
        } nestedCases[] = {{40000, 1}, {4000, 1u << 20}};
        for (const auto& nested : nestedCases) {
            const std::string path = folder + "\\bench_nested_" + std::to_string(nested.depth) + ".xml";
            WriteNestedFeed(path, nested.depth, std::string(nested.textBytes, 'x'));
            std::vector<double> loads;
            int items = 0;
            for (int run = 0; run < std::min(runs, 3); ++run)
                loads.push_back(TimeLoad(feed, FileUrl(path), items));
            std::printf("nested: %d ttl elements, %zu bytes of text at the bottom: Load %.1f ms (median of %zu), "
                        "ttl %d bytes%s\n", nested.depth, nested.textBytes, Median(loads), loads.size(),
                        feed.m_source.m_strTtl.GetLength(),
                        feed.m_strError.IsEmpty() ? "" : (std::string(", error: ") + feed.m_strError.GetString()).c_str());
            std::fflush(stdout);
        }
        if (nestedOnly)
            sizes.clear();
        for (const int size : sizes) {
            for (const bool newestFirst : {true, false}) {
                const std::string path = folder + "\\bench_" + std::to_string(size) + (newestFirst ? "_newest" : "_oldest") + ".xml";
                WriteFeed(path, size, newestFirst);
                const std::string url = FileUrl(path);

                std::vector<double> loads, bares;
                int items = 0;
                WalkCount count;
                TimeLoad(feed, url, items); // warm-up of both, outside the figures
                TimeBareParse(path, count);
                for (int run = 0; run < runs; ++run) {
                    loads.push_back(TimeLoad(feed, url, items));
                    bares.push_back(TimeBareParse(path, count));
                }
                const double load = Median(loads);
                const double bare = Median(bares);
                const double bestLoad = *std::min_element(loads.begin(), loads.end());
                const double bestBare = *std::min_element(bares.begin(), bares.end());
                std::printf("%-6d %-12s %10.1f %10.1f %6.2f   %10.1f %10.1f %6.2f  %d items, %ld nodes%s\n", size,
                            newestFirst ? "newest first" : "oldest first", load, bare, load / bare, bestLoad, bestBare,
                            bestLoad / bestBare, items, count.nodes,
                            feed.m_strError.IsEmpty() ? "" : (std::string(", error: ") + feed.m_strError.GetString()).c_str());
                if (breakdown)
                    Breakdown(url, path);
                std::fflush(stdout);
            }
        }
    }
    ::CoUninitialize();
    return 0;
}

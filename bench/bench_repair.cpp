// Benchmark of the repairs of broken documents on hostile documents (not a test): for each shape,
// documents of 8 and 32 MB (the largest a download may bring), and the time of each repair, of
// the search for whole items, of the entity guard, and of a whole CDocumentRepair read over a
// parser that refuses everything (so that the parses cost nothing but the guard before them and
// the salvage does all it may). The ratio of the two sizes' times shows whether a step is linear
// (about 4); the process's peak memory is printed at the end.
//
//   bench_repair [--sizes 8,32] (in MB)
#include "feeds/CDocumentRepair.h"
#include "feeds/EntityGuard.h"
#include "feeds/HtmlEntities.h"
#include "feeds/ItemSalvage.h"
#include "feeds/MarkupRepair.h"
#include "feeds/TextEncoding.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace {

class RefusingSystem : public CDocumentRepair::System {
public:
    bool Parse(const std::string&, bool) override
    {
        ++parses;
        return false;
    }
    bool ConvertCodePage(const std::string& bytes, unsigned, std::string& utf8) override
    {
        utf8 = Windows1252ToUtf8(bytes);
        return true;
    }
    int parses = 0;
};

struct Shape {
    const char* name;
    const char* unit;
};

// Repeated units of markup that each repair, or the search for items, has to work hardest on.
const Shape kShapes[] = {
    {"bare ampersands and stray <", "&&&&<<<<"},
    {"elements never closed", "<a>"},
    {"end tags that close nothing", "</b>"},
    {"whole items, one attribute twice", "<item a='1' a='2'><title>t</title></item>"},
    {"an unclosed CDATA section per item", "<item><![CDATA["},
    {"control characters and references", "\x01\x02&#1;&#\x01" "1;"},
    {"attribute values never closed", "<a x='1"},
    {"bytes that are not UTF-8", "\xE9\xFF\x80"},
    {"semicolons", ";;;;;;;;"},
    {"entity references without a DOCTYPE", "&e;&e;"},
    {"end tags cut short", "<i></"},
};

std::string Hostile(const Shape& shape, size_t size)
{
    std::string text = "<?xml version=\"1.0\"?><rss><channel><title>t</title>";
    const size_t unit = std::strlen(shape.unit);
    text.reserve(size + unit);
    while (text.size() < size)
        text.append(shape.unit, unit);
    return text;
}

double Ms(const std::function<void()>& step)
{
    const auto start = std::chrono::steady_clock::now();
    step();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<size_t> sizes = {8, 32};
    if (argc == 3 && std::strcmp(argv[1], "--sizes") == 0) {
        sizes.clear();
        for (const char* at = argv[2]; *at; at = std::strchr(at, ',') ? std::strchr(at, ',') + 1 : "")
            sizes.push_back(std::strtoul(at, nullptr, 10));
    }
    const char* const steps[] = {"decode", "junk", "controls", "html", "stray",
                                 "end tag", "trailing", "items", "guard", "whole read"};
    const size_t stepCount = sizeof steps / sizeof steps[0];
    std::printf("%-36s %4s", "document (ms)", "MB");
    for (const char* step : steps)
        std::printf(" %10s", step);
    std::printf(" %7s\n", "parses");
    for (const Shape& shape : kShapes) {
        std::vector<std::vector<double>> times;
        for (const size_t megabytes : sizes) {
            const std::string hostile = Hostile(shape, megabytes << 20);
            std::vector<double> row;
            const auto repair = [&](bool (*step)(std::string&)) {
                std::string text = hostile;
                return Ms([&] { step(text); });
            };
            row.push_back(Ms([&] { DecodeToUtf8(hostile, ChooseDecoding(hostile), nullptr); }));
            row.push_back(repair(StripLeadingJunk));
            row.push_back(repair(RemoveForbiddenCharacters));
            row.push_back(repair(ReplaceHtmlEntities));
            row.push_back(repair(EscapeStrayMarkup));
            row.push_back(repair(CloseCutRootEndTag));
            row.push_back(repair(CutAfterRoot));
            row.push_back(Ms([&] { FindWholeParts(hostile); }));
            row.push_back(Ms([&] { EntityExpansion(hostile, 16u << 20); }));
            RefusingSystem system;
            row.push_back(Ms([&] {
                CDocumentRepair read(system, 16u << 20);
                read.Read(hostile);
            }));
            std::printf("%-36s %4zu", shape.name, megabytes);
            for (const double ms : row)
                std::printf(" %10.1f", ms);
            std::printf(" %7d\n", system.parses);
            std::fflush(stdout);
            times.push_back(row);
        }
        if (times.size() == 2) {
            std::printf("%-36s %4s", "  ratio of the two sizes", "");
            for (size_t i = 0; i < stepCount; ++i)
                std::printf(" %10.1f", times[0][i] > 0.5 ? times[1][i] / times[0][i] : 0.0);
            std::printf("\n");
        }
    }
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak memory of the process: %ld MB\n", usage.ru_maxrss / 1024);
    return 0;
}

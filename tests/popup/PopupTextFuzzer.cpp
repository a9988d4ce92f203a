// Feeds arbitrary bytes to the preset list reader and to the item texts: nothing may crash, the
// preset list gives web addresses only, and the rich text may hold no control word the builder
// did not write itself.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "feeds/FeedDiscovery.h"
#include "popup/ItemText.h"
#include "popup/PresetFeedList.h"

namespace {

void CheckNoForeignControlWord(const std::string& rtf, size_t from, size_t to)
{
    for (size_t i = from; i < to; ++i) {
        if (rtf[i] == '{' || rtf[i] == '}')
            std::abort(); // an unescaped brace
        if (rtf[i] != '\\')
            continue;
        const char next = i + 1 < to ? rtf[i + 1] : '\0';
        if (next == '\\' || next == '{' || next == '}') {
            ++i;
        } else if (rtf.compare(i, 5, "\\par ") == 0 || rtf.compare(i, 5, "\\tab ") == 0 ||
                   rtf.compare(i, 10, "\\b0 \\par\r\n") == 0) {
            i += rtf[i + 1] == 'b' ? 9 : 4;
        } else if (next == 'u') {
            size_t j = i + 2;
            if (j < to && rtf[j] == '-')
                ++j;
            while (j < to && rtf[j] >= '0' && rtf[j] <= '9')
                ++j;
            if (j == i + 2 || j >= to || rtf[j] != '?')
                std::abort();
            i = j;
        } else {
            std::abort();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* bytes = reinterpret_cast<const char*>(data);
    CStringArray feeds;
    ReadPresetSection(bytes, size, size ? data[0] % 10 : 0, feeds);
    for (int i = 0; i < feeds.GetSize(); ++i) {
        if (!IsHttpUrl(std::string(feeds[i].GetString(), feeds[i].GetLength())))
            std::abort(); // the service may name web feeds only
    }

    // Title and description: the text up to the first NUL, split in two.
    const std::string text(bytes, strnlen(bytes, size));
    const std::string title = text.substr(0, text.size() / 2), description = text.substr(text.size() / 2);
    const CString rtf = ItemRtf(title.c_str(), description.c_str());
    const std::string built(rtf.GetString(), rtf.GetLength());
    const size_t start = built.find("\\fs20 ") + 6;
    if (built.size() < start + 5 || built.compare(built.size() - 5, 5, "\\par}") != 0)
        std::abort();
    CheckNoForeignControlWord(built, start, built.size() - 5);

    const CString balloon = BalloonTextOf(description.c_str());
    if (balloon.GetLength() > 255)
        std::abort();
    return 0;
}

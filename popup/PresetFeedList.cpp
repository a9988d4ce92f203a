#include "popup/PresetFeedList.h"

#include <cstring>
#include <string>

#include "feeds/FeedDiscovery.h"

void ReadPresetSection(const char* body, size_t length, int channel, CStringArray& feeds)
{
    if (channel < 0)
        return;
    int header = -1;
    bool inSection = false;
    size_t start = 0;
    while (start < length) {
        const char* lineStart = body + start;
        const void* feed = std::memchr(lineStart, '\n', length - start);
        const size_t lineLength = feed ? static_cast<const char*>(feed) - lineStart : length - start;
        start += lineLength + (feed ? 1 : 0);

        const bool isHeader = lineLength > 0 && lineStart[0] == '[';
        if (inSection) {
            if (lineLength == 0 || isHeader)
                return;
            if (IsHttpUrl(std::string(lineStart, lineLength)))
                feeds.Add(CString(lineStart, static_cast<int>(lineLength)));
        } else if (isHeader && ++header == channel) {
            inSection = true;
        }
    }
}

size_t WholeLinesLength(const char* body, size_t length)
{
    while (length > 0 && body[length - 1] != '\n')
        --length;
    return length;
}

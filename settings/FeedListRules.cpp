#include "settings/FeedListRules.h"

#include <climits>
#include <cstring>

namespace {

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualIgnoringCase(const char* a, const char* b)
{
    for (; *a && *b; ++a, ++b) {
        if (Lower(*a) != Lower(*b))
            return false;
    }
    return *a == *b;
}

} // namespace

ListButtons ListButtonsFor(int selection, int count)
{
    const bool selected = selection >= 0 && selection < count;
    return {selected && selection > 0, selected && selection < count - 1, selected};
}

CString DroppedText(const char* block, std::size_t blockSize)
{
    if (!block)
        return CString();
    const void* end = std::memchr(block, '\0', blockSize);
    std::size_t length = end ? static_cast<std::size_t>(static_cast<const char*>(end) - block) : blockSize;
    if (length > INT_MAX - 1)
        length = INT_MAX - 1;
    return CString(block, static_cast<int>(length));
}

int FindFeedIgnoringCase(const CStringArray& items, const char* text)
{
    for (int i = 0; i < items.GetSize(); ++i) {
        if (EqualIgnoringCase(items[i], text))
            return i;
    }
    return -1;
}

std::vector<CString> NewFeeds(const CStringArray& items, const std::vector<std::string>& found)
{
    CStringArray listed;
    for (int i = 0; i < items.GetSize(); ++i)
        listed.Add(items[i]);
    std::vector<CString> added;
    for (const std::string& feed : found) {
        const CString text(feed.c_str());
        if (text.IsEmpty() || FindFeedIgnoringCase(listed, text) >= 0)
            continue;
        listed.Add(text);
        added.push_back(text);
    }
    return added;
}

#include "feeds/HtmlEntities.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

struct Entity {
    const char* name;
    unsigned first;
    unsigned second;
};

const Entity kEntities[] = {
#include "feeds/HtmlEntityTable.inc"
};

const size_t kLongestName = 32;

bool IsNameCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

const Entity* FindEntity(const char* name, size_t length)
{
    const Entity* end = kEntities + sizeof(kEntities) / sizeof(kEntities[0]);
    const Entity* found = std::lower_bound(kEntities, end, std::make_pair(name, length),
        [](const Entity& entry, const std::pair<const char*, size_t>& key) {
            const size_t entryLength = std::strlen(entry.name);
            const int order = std::memcmp(entry.name, key.first, std::min(entryLength, key.second));
            return order < 0 || (order == 0 && entryLength < key.second);
        });
    if (found == end || std::strlen(found->name) != length || std::memcmp(found->name, name, length) != 0)
        return nullptr;
    return found;
}

void AppendReference(std::string& out, unsigned code)
{
    char reference[16];
    std::snprintf(reference, sizeof reference, "&#x%X;", code);
    out += reference;
}

// Copies a section in which references mean nothing, from its opening to its end (or to the
// end of the text when it is never closed); gives where the copy stopped.
size_t CopySection(const std::string& xml, size_t at, const char* end, std::string& out)
{
    const size_t close = xml.find(end, at);
    const size_t stop = close == std::string::npos ? xml.size() : close + std::strlen(end);
    out.append(xml, at, stop - at);
    return stop;
}

} // namespace

bool IsHtmlEntityName(const char* name, size_t length)
{
    return length <= kLongestName && FindEntity(name, length) != nullptr;
}

bool ReplaceHtmlEntities(std::string& xml)
{
    std::string out;
    bool replaced = false;
    size_t at = 0;
    while (at < xml.size()) {
        const size_t next = xml.find_first_of("<&", at);
        if (next == std::string::npos) {
            out.append(xml, at, std::string::npos);
            break;
        }
        out.append(xml, at, next - at);
        at = next;
        if (xml[at] == '<') {
            if (xml.compare(at, 9, "<![CDATA[") == 0)
                at = CopySection(xml, at, "]]>", out);
            else if (xml.compare(at, 4, "<!--") == 0)
                at = CopySection(xml, at, "-->", out);
            else
                out += xml[at++];
            continue;
        }
        size_t end = at + 1;
        while (end < xml.size() && end - at - 1 <= kLongestName && IsNameCharacter(xml[end]))
            ++end;
        const Entity* entity = nullptr;
        if (end < xml.size() && xml[end] == ';' && end > at + 1)
            entity = FindEntity(xml.data() + at + 1, end - at - 1);
        if (!entity) {
            out += xml[at++];
            continue;
        }
        AppendReference(out, entity->first);
        if (entity->second)
            AppendReference(out, entity->second);
        replaced = true;
        at = end + 1;
    }
    if (replaced)
        xml.swap(out);
    return replaced;
}

#include "feeds/CleanDescription.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace {

const size_t kNone = std::string::npos;

// The first `c` at or after `from`, or kNone. It reads a machine word at a time: the clean-up
// searches each description a dozen times, and the C library's own search is a plain loop on
// some systems.
size_t FindChar(const std::string& text, char c, size_t from)
{
    using Word = uintptr_t;
    const Word ones = ~Word(0) / 0xFF;
    const Word highBits = ones * 0x80;
    const Word pattern = ones * static_cast<unsigned char>(c);
    const char* data = text.data();
    const size_t size = text.size();
    size_t at = from;
    for (; at + sizeof(Word) <= size; at += sizeof(Word)) {
        Word word;
        std::memcpy(&word, data + at, sizeof word);
        const Word diff = word ^ pattern; // a zero byte where `c` is
        if ((diff - ones) & ~diff & highBits)
            break;
    }
    for (; at < size; ++at) {
        if (data[at] == c)
            return at;
    }
    return kNone;
}

// Whether `pattern` stands in `text` at `at`; the patterns are a few characters long.
bool MatchesAt(const std::string& text, size_t at, const char* pattern, size_t length)
{
    if (at > text.size() || text.size() - at < length)
        return false;
    for (size_t i = 0; i < length; ++i) {
        if (text[at + i] != pattern[i])
            return false;
    }
    return true;
}

// The first occurrence of `pattern` at or after `from`, or kNone.
size_t FindText(const std::string& text, const char* pattern, size_t length, size_t from)
{
    for (size_t at = FindChar(text, pattern[0], from); at != kNone; at = FindChar(text, pattern[0], at + 1)) {
        if (MatchesAt(text, at, pattern, length))
            return at;
    }
    return kNone;
}

// Replaces every occurrence, left to right, without scanning the replacement again. The
// replacement is not longer than the text it replaces, so the work is done in place: what is
// still to be read always lies at or after where the result goes.
void ReplaceAll(std::string& text, const char* from, const char* to)
{
    const size_t fromLength = std::strlen(from);
    const size_t toLength = std::strlen(to);
    size_t at = FindText(text, from, fromLength, 0);
    if (at == kNone)
        return;
    char* data = &text[0];
    size_t write = at;
    size_t read = at;
    while (at != kNone) {
        std::memmove(data + write, data + read, at - read);
        write += at - read;
        std::memcpy(data + write, to, toLength);
        write += toLength;
        read = at + fromLength;
        at = FindText(text, from, fromLength, read);
    }
    std::memmove(data + write, data + read, text.size() - read);
    text.resize(write + text.size() - read);
}

// Puts a backslash before each backslash and brace.
void EscapeRtf(std::string& text)
{
    size_t specials = 0;
    for (const char c : text)
        specials += c == '\\' || c == '{' || c == '}';
    if (specials == 0)
        return;
    std::string escaped;
    escaped.reserve(text.size() + specials);
    for (const char c : text) {
        if (c == '\\' || c == '{' || c == '}')
            escaped += '\\';
        escaped += c;
    }
    text.swap(escaped);
}

// Tag starts in order of priority: while the text holds an "<a", the first "<a" goes before
// any other tag, wherever that stands.
struct TagStart {
    const char* text;
    size_t length;
};
const TagStart kTagStarts[] = {{"<a", 2}, {"<div", 4}, {"<img", 4}, {"<", 1}};
const int kTagStartCount = 4;
const size_t kLongestTagStart = 4;

// The rule: "find the first occurrence of the highest-priority tag start that the text holds,
// remove from it to the next '>' (or to the end), and start again". Done as it reads, it costs
// a scan of the whole text for each tag, so a hostile description full of "<" would take
// quadratic time.
//
// Here the text is read from left to right and what is kept is written back over it, one pass
// per priority. A removal can make a new tag start only where the two sides join, so the kept
// text never holds a complete tag start of the pass's priority or higher: the moment its end
// forms one, that is the first occurrence of the highest priority present, and it is removed at
// once. All tag starts begin with "<" and hold no other "<" or ">", so a tag start of another
// priority that overlaps it begins at the same "<" and would remove the very same characters.
// Runs without "<" are copied whole, and a pass whose tag start does not occur at all has
// nothing to do.
class TagRemover {
public:
    explicit TagRemover(std::string& text) : m_text(text) {}

    void Run()
    {
        for (int pass = 0; pass < kTagStartCount; ++pass) {
            const TagStart& tag = kTagStarts[pass];
            if (FindText(m_text, tag.text, tag.length, 0) != kNone)
                RunPass(pass);
        }
    }

private:
    void RunPass(int pass)
    {
        char* data = &m_text[0];
        const size_t size = m_text.size();
        m_kept = 0;
        size_t next = 0;
        while (next < size) {
            if (!MayEndInTagStart()) {
                size_t open = FindChar(m_text, '<', next);
                if (open == kNone)
                    open = size;
                if (m_kept != next)
                    std::memmove(data + m_kept, data + next, open - next);
                m_kept += open - next;
                next = open;
                if (next == size)
                    break;
            }
            data[m_kept++] = data[next++];
            const int found = TagStartAtEnd(pass);
            if (found < 0)
                continue;
            m_kept -= kTagStarts[found].length;
            const size_t close = FindChar(m_text, '>', next);
            next = close == kNone ? size : close + 1;
        }
        m_text.resize(m_kept);
    }

    // The tag start of priority 0 to `lowest` with which the kept text ends, or -1.
    int TagStartAtEnd(int lowest) const
    {
        for (int i = 0; i <= lowest; ++i) {
            const TagStart& tag = kTagStarts[i];
            if (m_kept >= tag.length && MatchesAt(m_text, m_kept - tag.length, tag.text, tag.length))
                return i;
        }
        return -1;
    }

    // Whether the kept text may end in the beginning of a tag start that more characters complete.
    bool MayEndInTagStart() const
    {
        for (size_t back = 1; back < kLongestTagStart && back <= m_kept; ++back) {
            if (m_text[m_kept - back] == '<')
                return true;
        }
        return false;
    }

    std::string& m_text;
    size_t m_kept = 0; // the kept text is m_text[0, m_kept)
};

} // namespace

void CleanDescription(CString& text)
{
    std::string clean(text.GetString(), static_cast<size_t>(text.GetLength()));

    // First, so that a feed cannot put RTF control words or groups into the item view.
    EscapeRtf(clean);

    // Everything else acts on tags, and every tag starts with "<".
    if (FindChar(clean, '<', 0) != kNone) {
        ReplaceAll(clean, "<p>", "");
        ReplaceAll(clean, "<P>", "");
        ReplaceAll(clean, "</p>", "");
        ReplaceAll(clean, "</P>", "");
        ReplaceAll(clean, "<br />", "\\par ");
        ReplaceAll(clean, "</a>", "");
        TagRemover(clean).Run();
    }

    text = CString(clean.data(), static_cast<int>(clean.size()));
}

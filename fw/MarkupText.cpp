#include "fw/MarkupText.h"

#include <cctype>
#include <cstring>

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

char Lower(char c)
{
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

// The character that the reference at `at` ("&...;") stands for, and its length; false when it
// is none this reader decodes.
bool DecodeReference(const std::string& text, size_t at, std::string& character, size_t& length)
{
    static const struct {
        const char* name;
        char character;
    } kNamed[] = {{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
    for (const auto& named : kNamed) {
        if (text.compare(at, std::strlen(named.name), named.name) == 0) {
            character = std::string(1, named.character);
            length = std::strlen(named.name);
            return true;
        }
    }
    if (text.compare(at, 2, "&#") != 0)
        return false;
    size_t i = at + 2;
    const bool hex = i < text.size() && (text[i] == 'x' || text[i] == 'X');
    if (hex)
        ++i;
    unsigned long code = 0;
    const size_t digits = i;
    while (i < text.size() && i - digits < 8
           && (hex ? std::isxdigit(static_cast<unsigned char>(text[i])) : std::isdigit(static_cast<unsigned char>(text[i])))) {
        const char c = Lower(text[i++]);
        code = code * (hex ? 16 : 10) + static_cast<unsigned long>(c <= '9' ? c - '0' : c - 'a' + 10);
    }
    if (i == digits || i >= text.size() || text[i] != ';' || code == 0 || code > 0x10FFFF
        || (code >= 0xD800 && code <= 0xDFFF))
        return false;
    character.clear();
    AppendUtf8(character, code);
    length = i + 1 - at;
    return true;
}

} // namespace

std::vector<MarkupAttribute> ReadTagAttributes(const std::string& text, size_t& at)
{
    std::vector<MarkupAttribute> attributes;
    for (;;) {
        while (at < text.size() && (IsBlank(text[at]) || text[at] == '/'))
            ++at;
        if (at >= text.size())
            return attributes;
        if (text[at] == '>') {
            ++at;
            return attributes;
        }
        if (text[at] == '<')
            return attributes; // the tag was left open
        MarkupAttribute attribute;
        while (at < text.size() && !IsBlank(text[at]) && text[at] != '=' && text[at] != '>' && text[at] != '/'
               && text[at] != '<')
            attribute.name += Lower(text[at++]);
        while (at < text.size() && IsBlank(text[at]))
            ++at;
        if (at < text.size() && text[at] == '=') {
            ++at;
            while (at < text.size() && IsBlank(text[at]))
                ++at;
            if (at < text.size() && (text[at] == '"' || text[at] == '\'')) {
                const char quote = text[at++];
                const size_t close = text.find(quote, at);
                const size_t end = close == std::string::npos ? text.size() : close;
                attribute.value = text.substr(at, end - at);
                at = close == std::string::npos ? text.size() : close + 1;
            } else {
                while (at < text.size() && !IsBlank(text[at]) && text[at] != '>' && text[at] != '<')
                    attribute.value += text[at++];
            }
        }
        if (attribute.name.empty() && at < text.size() && text[at] != '<')
            ++at; // a stray character: step over it
        else if (!attribute.name.empty() && attributes.size() < kMostTagAttributes)
            attributes.push_back(attribute);
    }
}

std::string DecodeMarkupReferences(const std::string& value)
{
    std::string out;
    for (size_t i = 0; i < value.size();) {
        std::string character;
        size_t length = 0;
        if (value[i] == '&' && DecodeReference(value, i, character, length)) {
            out += character;
            i += length;
        } else {
            out += value[i++];
        }
    }
    return out;
}

std::string TrimMarkupBlanks(const std::string& text)
{
    size_t begin = 0, end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

void AppendUtf8(std::string& out, unsigned long code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

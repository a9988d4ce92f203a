#include "feeds/EntityGuard.h"

#include "feeds/CMarkupScanner.h"
#include "feeds/TextEncoding.h"

#include <cstring>
#include <map>
#include <string_view>

namespace {

bool IsBlank(char c)
{
    return CMarkupScanner::IsBlank(c);
}

// Names in the subset are read in ASCII only: in a double-byte code page the second byte of a
// character may look like "[" or "]", and the guard would no longer see what the parser sees.
bool IsAsciiNameCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == ':'
        || c == '-' || c == '.';
}

// The replacement text of an entity: the parser turns the character references of the literal
// into their characters when it reads the declaration ("&#38;x;" becomes a reference "&x;").
std::string ReplacementText(const std::string& literal)
{
    std::string out;
    out.reserve(literal.size());
    for (size_t at = 0; at < literal.size();) {
        if (literal.compare(at, 2, "&#") == 0) {
            const bool hex = at + 2 < literal.size() && literal[at + 2] == 'x';
            size_t end = at + (hex ? 3 : 2);
            unsigned long code = 0;
            bool digits = false;
            for (; end < literal.size() && end - at < 16; ++end) {
                const char c = literal[end];
                int digit = -1;
                if (c >= '0' && c <= '9')
                    digit = c - '0';
                else if (hex && c >= 'a' && c <= 'f')
                    digit = c - 'a' + 10;
                else if (hex && c >= 'A' && c <= 'F')
                    digit = c - 'A' + 10;
                if (digit < 0)
                    break;
                code = code * (hex ? 16 : 10) + static_cast<unsigned long>(digit);
                digits = true;
            }
            if (digits && end < literal.size() && literal[end] == ';' && code <= 0x10FFFF) {
                AppendUtf8(out, code);
                at = end + 1;
                continue;
            }
        }
        out += literal[at++];
    }
    return out;
}

struct Sized {
    size_t size = 0; // with every reference in it expanded, at most limit + 1
    int state = 0;   // 0 not sized yet, 1 being sized, 2 sized
};

struct Entity : Sized {
    std::string text; // the replacement text; empty for an external entity
};

// What a defaulted attribute adds to its element's start tag besides its name and value: a
// blank, "=" and the two quotes (xmllint writes ` name="value"`).
const size_t kAttributeMarkup = 4;

// The attribute defaults that the subset gives to the elements of one name.
struct Defaults : Sized { // the size of the values, with the references in them expanded
    std::vector<std::string> values; // as written
    size_t markup = 0; // of the attributes' names and kAttributeMarkup for each, at most limit + 1
};

class Guard {
public:
    Guard(const std::string& xml, size_t limit) : m_limit(limit)
    {
        const ByteForm form = DetectByteForm(xml);
        if (form == ByteForm::kEbcdic) {
            m_ok = false;
        } else if (form != ByteForm::kEightBit) {
            m_wide = WideToUtf8(xml, form);
            m_text = &m_wide;
        } else {
            m_text = &xml;
            const std::string encoding = DeclaredEncoding(xml, false);
            m_ok = encoding.empty() || IsAsciiCompatible(encoding);
        }
    }

    size_t Expansion()
    {
        if (!m_ok || !ReadProlog())
            return m_limit + 1;
        if (m_entities.empty() && m_defaults.empty())
            return 0;
        size_t total = 0;
        for (auto& entry : m_entities) {
            if (Size(entry.second) > m_limit)
                return m_limit + 1;
        }
        for (auto& entry : m_defaults)
            total = Add(total, Size(entry.second)); // the parser reads each default once at its declaration
        total = Add(total, Uses(m_bodyBegin));
        return m_ok ? total : m_limit + 1;
    }

    std::vector<std::string> EntityNames()
    {
        std::vector<std::string> names;
        if (m_ok && ReadProlog()) {
            for (const auto& entry : m_entities)
                names.push_back(entry.first);
        }
        return names;
    }

private:
    const std::string& Text() const { return *m_text; }

    // Comments, processing instructions and text up to the root element; a DOCTYPE among them
    // is read declaration by declaration. False when the document is refused.
    bool ReadProlog()
    {
        const std::string& text = Text();
        size_t at = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
        bool seenDoctype = false;
        for (;;) {
            CMarkupScanner scanner(text, at);
            CMarkupScanner::Piece piece;
            if (!scanner.Next(piece)) {
                m_bodyBegin = text.size();
                return true;
            }
            switch (piece.kind) {
            case CMarkupScanner::kText:
                break; // blanks, or junk that the parser refuses
            case CMarkupScanner::kComment:
            case CMarkupScanner::kInstruction:
                if (piece.broken)
                    return false;
                break;
            case CMarkupScanner::kDoctype:
                if (seenDoctype)
                    return false;
                seenDoctype = true;
                piece.end = ReadDoctype(piece.begin + 9);
                if (piece.end == 0)
                    return false;
                break;
            default: // the root element, or markup that the parser refuses before it
                m_bodyBegin = piece.begin;
                return true;
            }
            at = piece.end;
        }
    }

    // After "<!DOCTYPE": its name, an external identifier and the internal subset. Gives where
    // it ends; 0 when it is refused.
    size_t ReadDoctype(size_t at)
    {
        if (!SkipBlanks(at, true) || ReadName(at).empty() || !SkipBlanks(at, false) || !ReadExternalId(at))
            return 0;
        SkipBlanks(at, false);
        const std::string& text = Text();
        if (at < text.size() && text[at] == '[') {
            at = ReadSubset(at + 1);
            if (at == 0)
                return 0;
            SkipBlanks(at, false);
        }
        return at < text.size() && text[at] == '>' ? at + 1 : 0;
    }

    size_t ReadSubset(size_t at)
    {
        const std::string& text = Text();
        for (;;) {
            SkipBlanks(at, false);
            if (at >= text.size())
                return 0;
            if (text[at] == ']')
                return at + 1;
            size_t end = 0;
            if (text.compare(at, 4, "<!--") == 0)
                end = Skip(at + 4, "-->");
            else if (text.compare(at, 2, "<?") == 0)
                end = Skip(at + 2, "?>");
            else if (text.compare(at, 8, "<!ENTITY") == 0)
                end = ReadEntity(at + 8);
            else if (text.compare(at, 9, "<!ATTLIST") == 0)
                end = ReadAttlist(at + 9);
            else if (text.compare(at, 9, "<!ELEMENT") == 0)
                end = ReadUntilClose(at + 9);
            else if (text.compare(at, 10, "<!NOTATION") == 0)
                end = ReadUntilClose(at + 10);
            if (end == 0)
                return 0; // a parameter entity reference, or anything else
            at = end;
        }
    }

    size_t ReadEntity(size_t at)
    {
        if (!SkipBlanks(at, true))
            return 0;
        const std::string& text = Text();
        if (at < text.size() && text[at] == '%')
            return 0; // a parameter entity: it could declare more than is seen here
        const std::string name = ReadName(at);
        if (name.empty() || !SkipBlanks(at, true))
            return 0;
        Entity entity;
        if (at < text.size() && (text[at] == '"' || text[at] == '\'')) {
            std::string literal;
            if (!ReadLiteral(at, literal) || literal.find('%') != std::string::npos)
                return 0;
            entity.text = ReplacementText(literal);
        } else if (!ReadExternalId(at)) {
            return 0;
        } else {
            // An external entity: the parser is set never to read it. NDATA names its notation.
            SkipBlanks(at, false);
            if (text.compare(at, 5, "NDATA") == 0) {
                at += 5;
                if (!SkipBlanks(at, true) || ReadName(at).empty())
                    return 0;
            }
        }
        SkipBlanks(at, false);
        if (at >= text.size() || text[at] != '>')
            return 0;
        if (!m_entities.count(name)) // the first declaration is binding
            m_entities[name] = entity;
        return at + 1;
    }

    // The element's name, then each attribute's name, type and default: "#REQUIRED", "#IMPLIED",
    // or a value, "#FIXED" or not. An attribute declared twice is counted twice.
    size_t ReadAttlist(size_t at)
    {
        if (!SkipBlanks(at, true))
            return 0;
        const std::string element = ReadName(at);
        if (element.empty())
            return 0;
        const std::string& text = Text();
        for (;;) {
            const bool blank = SkipBlanks(at, true);
            if (at < text.size() && text[at] == '>')
                return at + 1;
            if (!blank)
                return 0;
            const std::string name = ReadName(at);
            if (name.empty() || !SkipBlanks(at, true) || !ReadAttributeType(at) || !SkipBlanks(at, true))
                return 0;
            if (text.compare(at, 9, "#REQUIRED") == 0) {
                at += 9;
                continue;
            }
            if (text.compare(at, 8, "#IMPLIED") == 0) {
                at += 8;
                continue;
            }
            if (text.compare(at, 6, "#FIXED") == 0) {
                at += 6;
                if (!SkipBlanks(at, true))
                    return 0;
            }
            std::string value;
            if (!ReadLiteral(at, value))
                return 0;
            Defaults& defaults = m_defaults[element];
            defaults.values.push_back(value);
            defaults.markup = Add(defaults.markup, Add(name.size(), kAttributeMarkup));
        }
    }

    // A type's name ("CDATA", "ID", "NMTOKENS"...), or a list of names in brackets, with
    // "NOTATION" before it or not.
    bool ReadAttributeType(size_t& at)
    {
        const std::string& text = Text();
        const std::string type = ReadName(at);
        if (type == "NOTATION") {
            if (!SkipBlanks(at, true))
                return false;
        } else if (!type.empty()) {
            return type == "CDATA" || type == "ID" || type == "IDREF" || type == "IDREFS" || type == "ENTITY"
                || type == "ENTITIES" || type == "NMTOKEN" || type == "NMTOKENS";
        }
        if (at >= text.size() || text[at] != '(')
            return false;
        for (++at; at < text.size(); ++at) {
            const char c = text[at];
            if (c == ')') {
                ++at;
                return true;
            }
            if (!IsAsciiNameCharacter(c) && !IsBlank(c) && c != '|')
                return false;
        }
        return false;
    }

    // To the ">" of a declaration, over its literals; gives 0 for "<" or "%" outside them, or a
    // character outside ASCII.
    size_t ReadUntilClose(size_t at)
    {
        const std::string& text = Text();
        while (at < text.size()) {
            const char c = text[at];
            if (c == '>')
                return at + 1;
            if (c == '"' || c == '\'') {
                std::string literal;
                if (!ReadLiteral(at, literal))
                    return 0;
                continue;
            }
            if (c == '<' || c == '%' || static_cast<unsigned char>(c) >= 0x80)
                return 0;
            ++at;
        }
        return 0;
    }

    // SYSTEM "uri" or PUBLIC "id" "uri", or nothing.
    bool ReadExternalId(size_t& at)
    {
        const std::string& text = Text();
        int literals = 0;
        if (text.compare(at, 6, "SYSTEM") == 0)
            literals = 1;
        else if (text.compare(at, 6, "PUBLIC") == 0)
            literals = 2;
        else
            return true;
        at += 6;
        for (int i = 0; i < literals; ++i) {
            std::string literal;
            if (!SkipBlanks(at, true) || !ReadLiteral(at, literal))
                return false;
        }
        return true;
    }

    bool ReadLiteral(size_t& at, std::string& literal)
    {
        const std::string& text = Text();
        if (at >= text.size() || (text[at] != '"' && text[at] != '\''))
            return false;
        const size_t close = text.find(text[at], at + 1);
        if (close == std::string::npos)
            return false;
        literal = text.substr(at + 1, close - at - 1);
        at = close + 1;
        return true;
    }

    // Gives false when blanks were required and none were there.
    bool SkipBlanks(size_t& at, bool required) const
    {
        const size_t start = at;
        while (at < Text().size() && IsBlank(Text()[at]))
            ++at;
        return !required || at > start;
    }

    std::string ReadName(size_t& at) const
    {
        const size_t start = at;
        while (at < Text().size() && IsAsciiNameCharacter(Text()[at]))
            ++at;
        if (at < Text().size() && static_cast<unsigned char>(Text()[at]) >= 0x80)
            return std::string();
        return Text().substr(start, at - start);
    }

    size_t Skip(size_t from, const char* close) const
    {
        const size_t found = Text().find(close, from);
        return found == std::string::npos ? 0 : found + std::strlen(close);
    }

    size_t Add(size_t a, size_t b) const
    {
        return a > m_limit || b > m_limit - a ? m_limit + 1 : a + b;
    }

    // The size of a text once the parser has expanded it: its own bytes, what the references to
    // declared entities in it expand to, and the defaults of the elements it starts. A reference
    // to an entity not declared counts as its own bytes (the parser refuses it).
    size_t Expanded(const std::string& text)
    {
        size_t size = 0;
        size_t at = 0;
        while (at < text.size()) {
            const size_t next = text.find_first_of("&<", at);
            if (next == std::string::npos) {
                size = Add(size, text.size() - at);
                break;
            }
            size = Add(size, next - at);
            at = next + 1;
            const size_t added = ExpandedMarkup(text, next, at);
            // A reference gives way to its entity; a "<" stays, with the defaults of its element.
            size = Add(size, at == next + 1 ? 1 + added : added);
            if (size > m_limit)
                break;
        }
        return size;
    }

    // What the reference or start tag at `at` ("&" or "<") adds beyond its first byte; moves
    // `next` past the name it read.
    size_t ExpandedMarkup(const std::string& text, size_t at, size_t& next)
    {
        size_t nameEnd = at + 1;
        while (nameEnd < text.size() && CMarkupScanner::IsNameCharacter(text[nameEnd]))
            ++nameEnd;
        if (nameEnd == at + 1)
            return 0;
        const std::string_view name(text.data() + at + 1, nameEnd - at - 1);
        if (text[at] == '<') {
            const auto found = m_defaults.find(name);
            return found == m_defaults.end() ? 0 : Add(Size(found->second), found->second.markup);
        }
        if (nameEnd >= text.size() || text[nameEnd] != ';')
            return 0;
        const auto found = m_entities.find(name);
        if (found == m_entities.end())
            return 0;
        next = nameEnd + 1;
        return Size(found->second);
    }

    // An entity that refers to itself, through others or directly, or a chain of references
    // longer than any document needs, is refused.
    template <typename Item>
    size_t Size(Item& item)
    {
        if (item.state == 1 || m_nesting >= kMaxNesting) {
            m_ok = false;
            return m_limit + 1;
        }
        if (item.state == 0) {
            item.state = 1;
            ++m_nesting;
            item.size = SizeOf(item);
            --m_nesting;
            item.state = 2;
        }
        return item.size;
    }

    size_t SizeOf(const Entity& entity) { return Expanded(entity.text); }

    size_t SizeOf(const Defaults& defaults)
    {
        size_t size = 0;
        for (const std::string& value : defaults.values)
            size = Add(size, Expanded(value));
        return size;
    }

    // What the references and the start tags of elements with defaults add to the body, beyond
    // their own bytes. References inside comments and CDATA sections are counted too.
    size_t Uses(size_t from)
    {
        const std::string& text = Text();
        const char* const wanted = m_defaults.empty() ? "&" : "&<";
        size_t total = 0;
        size_t at = from;
        while ((at = text.find_first_of(wanted, at)) != std::string::npos) {
            size_t next = at + 1;
            total = Add(total, ExpandedMarkup(text, at, next));
            if (total > m_limit)
                return total;
            at = next;
        }
        return total;
    }

    const size_t m_limit;
    const std::string* m_text = nullptr;
    std::string m_wide; // a UTF-16 or UTF-32 document as UTF-8
    std::map<std::string, Entity, std::less<>> m_entities;
    std::map<std::string, Defaults, std::less<>> m_defaults;
    size_t m_bodyBegin = 0;
    bool m_ok = true;
    static const int kMaxNesting = 32;
    int m_nesting = 0;
};

} // namespace

size_t EntityExpansion(const std::string& xml, size_t limit)
{
    return Guard(xml, limit).Expansion();
}

bool EntityExpansionIsBounded(const std::string& xml, size_t limit)
{
    return EntityExpansion(xml, limit) <= limit;
}

std::vector<std::string> DeclaredEntityNames(const std::string& xml)
{
    return Guard(xml, 0).EntityNames();
}

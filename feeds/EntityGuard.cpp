#include "feeds/EntityGuard.h"

#include <map>
#include <vector>

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool IsNameCharacter(char c)
{
    return !IsBlank(c) && c != ';' && c != '&' && c != '<' && c != '>' && c != '"' && c != '\'' && c != '%'
        && c != '[' && c != ']';
}

struct Entity {
    std::string value;    // the literal replacement text; empty for an external entity
    size_t size = 0;      // its size with every reference in it expanded, at most limit + 1
    int state = 0;        // 0 not sized yet, 1 being sized, 2 sized
};

class Guard {
public:
    Guard(const std::string& xml, size_t limit) : m_xml(xml), m_limit(limit) {}

    bool Check()
    {
        size_t subsetBegin = 0, subsetEnd = 0;
        if (!FindInternalSubset(subsetBegin, subsetEnd))
            return m_ok;
        if (!ReadDeclarations(subsetBegin, subsetEnd))
            return false;
        if (m_entities.empty())
            return true;
        for (auto& entry : m_entities) {
            if (Size(entry.second) > m_limit)
                return false;
        }
        return m_ok && Uses(subsetEnd) <= m_limit;
    }

private:
    // The internal subset of the DOCTYPE, the part between "[" and "]"; false when there is
    // none. A DOCTYPE stands before the root element.
    bool FindInternalSubset(size_t& begin, size_t& end)
    {
        const size_t doctype = m_xml.find("<!DOCTYPE");
        if (doctype == std::string::npos || doctype > FirstElement())
            return false;
        for (size_t at = doctype + 9; at < m_xml.size(); ++at) {
            const char c = m_xml[at];
            if (c == '"' || c == '\'') {
                at = m_xml.find(c, at + 1);
                if (at == std::string::npos)
                    break;
            } else if (c == '>') {
                return false;
            } else if (c == '[') {
                begin = at + 1;
                end = begin;
                // The subset ends at the first "]" outside quotes and comments.
                while (end < m_xml.size() && m_xml[end] != ']') {
                    const char d = m_xml[end];
                    size_t close = end + 1;
                    if (d == '"' || d == '\'')
                        close = m_xml.find(d, end + 1) + 1;
                    else if (m_xml.compare(end, 4, "<!--") == 0)
                        close = m_xml.find("-->", end + 4) + 3;
                    if (close == 0 || close == 2) { // not closed: the parser refuses it anyway
                        m_ok = false;
                        return false;
                    }
                    end = close;
                }
                return true;
            }
        }
        m_ok = false; // a DOCTYPE that never ends is not well-formed
        return false;
    }

    // Where the root element starts: a "<" that opens neither a declaration nor an instruction.
    size_t FirstElement() const
    {
        for (size_t at = m_xml.find('<'); at != std::string::npos; at = m_xml.find('<', at + 1)) {
            if (at + 1 < m_xml.size() && m_xml[at + 1] != '!' && m_xml[at + 1] != '?')
                return at;
        }
        return m_xml.size();
    }

    bool ReadDeclarations(size_t begin, size_t end)
    {
        size_t at = begin;
        while ((at = m_xml.find('<', at)) != std::string::npos && at < end) {
            if (m_xml.compare(at, 4, "<!--") == 0) {
                at = m_xml.find("-->", at + 4);
                if (at == std::string::npos)
                    return false;
                continue;
            }
            if (m_xml.compare(at, 8, "<!ENTITY") != 0) {
                ++at;
                continue;
            }
            at += 8;
            SkipBlanks(at);
            if (at < end && m_xml[at] == '%')
                return false; // a parameter entity
            const std::string name = ReadName(at);
            SkipBlanks(at);
            Entity entity;
            if (at < end && (m_xml[at] == '"' || m_xml[at] == '\'')) {
                const size_t close = m_xml.find(m_xml[at], at + 1);
                if (close == std::string::npos || close > end)
                    return false;
                entity.value = m_xml.substr(at + 1, close - at - 1);
                at = close + 1;
            }
            if (!name.empty() && !m_entities.count(name)) // the first declaration is binding
                m_entities[name] = entity;
        }
        // A parameter entity used anywhere in the subset could declare more than is seen here.
        for (size_t i = begin; i < end; ++i) {
            if (m_xml[i] == '%' && i + 1 < end && IsNameCharacter(m_xml[i + 1]))
                return false;
        }
        return true;
    }

    void SkipBlanks(size_t& at) const
    {
        while (at < m_xml.size() && IsBlank(m_xml[at]))
            ++at;
    }

    std::string ReadName(size_t& at) const
    {
        const size_t start = at;
        while (at < m_xml.size() && IsNameCharacter(m_xml[at]))
            ++at;
        return m_xml.substr(start, at - start);
    }

    size_t Add(size_t a, size_t b) const
    {
        return a > m_limit || b > m_limit - a ? m_limit + 1 : a + b;
    }

    // The expanded size of the references to declared entities in text, plus the rest of it.
    size_t Expanded(const std::string& text, size_t begin, size_t end)
    {
        size_t size = 0;
        size_t at = begin;
        while (at < end) {
            const size_t amp = text.find('&', at);
            if (amp == std::string::npos || amp >= end) {
                size = Add(size, end - at);
                break;
            }
            size = Add(size, amp - at);
            size_t nameEnd = amp + 1;
            while (nameEnd < end && IsNameCharacter(text[nameEnd]))
                ++nameEnd;
            const auto found = nameEnd < end && text[nameEnd] == ';'
                ? m_entities.find(text.substr(amp + 1, nameEnd - amp - 1)) : m_entities.end();
            if (found == m_entities.end()) {
                size = Add(size, 1);
                at = amp + 1;
                continue;
            }
            size = Add(size, Size(found->second));
            at = nameEnd + 1;
        }
        return size;
    }

    size_t Size(Entity& entity)
    {
        // An entity that refers to itself, through others or directly, or a chain of references
        // longer than any document needs, is refused.
        if (entity.state == 1 || m_nesting >= kMaxNesting) {
            m_ok = false;
            return m_limit + 1;
        }
        if (entity.state == 0) {
            entity.state = 1;
            ++m_nesting;
            entity.size = Expanded(entity.value, 0, entity.value.size());
            --m_nesting;
            entity.state = 2;
        }
        return entity.size;
    }

    // What the references of the document after its DOCTYPE expand to, beyond their own text.
    size_t Uses(size_t from)
    {
        size_t total = 0;
        size_t at = from;
        while ((at = m_xml.find('&', at)) != std::string::npos) {
            size_t nameEnd = at + 1;
            while (nameEnd < m_xml.size() && IsNameCharacter(m_xml[nameEnd]))
                ++nameEnd;
            if (nameEnd < m_xml.size() && m_xml[nameEnd] == ';') {
                const auto found = m_entities.find(m_xml.substr(at + 1, nameEnd - at - 1));
                if (found != m_entities.end())
                    total = Add(total, Size(found->second));
            }
            if (total > m_limit)
                return total;
            at = nameEnd;
        }
        return total;
    }

    const std::string& m_xml;
    const size_t m_limit;
    std::map<std::string, Entity> m_entities;
    bool m_ok = true;
    static const int kMaxNesting = 32;
    int m_nesting = 0;
};

} // namespace

bool EntityExpansionIsBounded(const std::string& xml, size_t limit)
{
    return Guard(xml, limit).Check();
}

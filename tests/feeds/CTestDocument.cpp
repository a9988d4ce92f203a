#include "CTestDocument.h"

#include "fw/MarkupText.h"
#include "feeds/TextEncoding.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>

namespace {
int g_liveViews = 0;
int g_textReads = 0;
}

class CTestDocument::View : public CFeedNode {
public:
    View(const CTestDocument& document, int index) : m_document(document), m_index(index) { ++g_liveViews; }
    ~View() override { --g_liveViews; }

    CString GetName() const override { return Get().name; }
    int GetType() const override { return Get().type; }
    CString GetText() const override
    {
        ++g_textReads;
        return m_document.TextOf(m_index);
    }
    std::unique_ptr<CFeedNode> GetFirstChild() const override { return m_document.Node(Get().firstChild); }
    std::unique_ptr<CFeedNode> GetNextSibling() const override { return m_document.Node(Get().nextSibling); }
    std::unique_ptr<CFeedNode> Clone() const override { return m_document.Node(m_index); }
    CString GetAttribute(const char* name) const override
    {
        for (const auto& attribute : Get().attributes) {
            if (attribute.first == name)
                return attribute.second;
        }
        return CString();
    }

private:
    const Entry& Get() const { return m_document.m_entries[static_cast<size_t>(m_index)]; }

    const CTestDocument& m_document;
    int m_index;
};

CTestDocument::CTestDocument()
{
    Entry document;
    document.type = CFeedNode::DOCUMENT;
    document.name = "#document";
    m_entries.push_back(document);
}

int CTestDocument::TextReads()
{
    return g_textReads;
}

void CTestDocument::ResetTextReads()
{
    g_textReads = 0;
}

int CTestDocument::LiveViews()
{
    return g_liveViews;
}

int CTestDocument::AddNode(int parent, int type, const char* name, const char* value)
{
    Entry entry;
    entry.type = type;
    entry.name = name;
    entry.value = value;
    const int index = static_cast<int>(m_entries.size());
    m_entries.push_back(entry);
    Entry& owner = m_entries[static_cast<size_t>(parent)];
    if (owner.lastChild < 0)
        owner.firstChild = index;
    else
        m_entries[static_cast<size_t>(owner.lastChild)].nextSibling = index;
    owner.lastChild = index;
    return index;
}

void CTestDocument::SetAttribute(int element, const char* name, const char* value)
{
    m_entries[static_cast<size_t>(element)].attributes.emplace_back(name, value);
}

std::unique_ptr<CFeedNode> CTestDocument::Node(int index) const
{
    if (index < 0)
        return nullptr;
    return std::unique_ptr<CFeedNode>(new View(*this, index));
}

// The character data of the node and its descendants, in document order.
CString CTestDocument::TextOf(int index) const
{
    const Entry& entry = m_entries[static_cast<size_t>(index)];
    if (entry.type != CFeedNode::ELEMENT && entry.type != CFeedNode::DOCUMENT)
        return entry.value;
    CString text;
    std::vector<int> stack; // depth first without recursion: children go on in reverse
    const auto pushChildren = [&](int parent) {
        const size_t mark = stack.size();
        for (int child = m_entries[static_cast<size_t>(parent)].firstChild; child >= 0;
             child = m_entries[static_cast<size_t>(child)].nextSibling)
            stack.push_back(child);
        std::reverse(stack.begin() + static_cast<long>(mark), stack.end());
    };
    pushChildren(index);
    while (!stack.empty()) {
        const int node = stack.back();
        stack.pop_back();
        const Entry& current = m_entries[static_cast<size_t>(node)];
        if (current.type == CFeedNode::TEXT || current.type == CFeedNode::CDATA_SECTION)
            text += current.value;
        pushChildren(node);
    }
    return text;
}

class CTestDocument::Reader {
public:
    Reader(CTestDocument& document, const char* xml) : m_document(document), m_at(xml) {}

    void Read()
    {
        std::vector<int> open{kDocument};
        std::vector<std::string> names;
        std::string text;
        while (*m_at) {
            if (*m_at != '<') {
                text += ReadCharacter();
                continue;
            }
            FlushText(open.back(), text);
            if (Skip("<!--")) {
                const std::string comment = Until("-->");
                m_document.AddNode(open.back(), CFeedNode::COMMENT, "#comment", comment.c_str());
            } else if (Skip("<![CDATA[")) {
                const std::string data = Until("]]>");
                m_document.AddNode(open.back(), CFeedNode::CDATA_SECTION, "#cdata-section", data.c_str());
            } else if (Skip("<?")) {
                const std::string target = Name();
                const std::string data = Until("?>");
                m_document.AddNode(open.back(), CFeedNode::PROCESSING_INSTRUCTION, target.c_str(), data.c_str());
            } else if (Skip("<!DOCTYPE")) {
                const std::string name = (SkipBlanks(), Name());
                Until(">");
                m_document.AddNode(open.back(), CFeedNode::DOCUMENT_TYPE, name.c_str());
            } else if (Skip("</")) {
                const std::string name = Name();
                SkipBlanks();
                Expect(">");
                if (names.empty() || names.back() != name)
                    throw std::runtime_error("unexpected end tag " + name);
                names.pop_back();
                open.pop_back();
            } else {
                ++m_at;
                const std::string name = Name();
                const int element = m_document.AddElement(open.back(), name.c_str());
                ReadAttributes(element);
                if (Skip("/>"))
                    continue;
                Expect(">");
                open.push_back(element);
                names.push_back(name);
            }
        }
        if (!names.empty())
            throw std::runtime_error("unclosed element " + names.back());
        FlushText(open.back(), text);
    }

private:
    static bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

    void FlushText(int parent, std::string& text)
    {
        bool blank = true;
        for (char c : text)
            blank = blank && IsBlank(c);
        if (!blank)
            m_document.AddText(parent, text.c_str());
        text.clear();
    }

    bool Skip(const char* literal)
    {
        const size_t length = std::strlen(literal);
        if (std::strncmp(m_at, literal, length) != 0)
            return false;
        m_at += length;
        return true;
    }

    void Expect(const char* literal)
    {
        if (!Skip(literal))
            throw std::runtime_error(std::string("expected ") + literal + " at " + m_at);
    }

    void SkipBlanks()
    {
        while (IsBlank(*m_at))
            ++m_at;
    }

    std::string Until(const char* end)
    {
        const char* found = std::strstr(m_at, end);
        if (!found)
            throw std::runtime_error(std::string("missing ") + end);
        std::string content(m_at, static_cast<size_t>(found - m_at));
        m_at = found + std::strlen(end);
        return content;
    }

    std::string Name()
    {
        const char* start = m_at;
        while (*m_at && !IsBlank(*m_at) && *m_at != '>' && *m_at != '/' && *m_at != '=' && *m_at != '?')
            ++m_at;
        if (m_at == start)
            throw std::runtime_error("missing name");
        return std::string(start, static_cast<size_t>(m_at - start));
    }

    void ReadAttributes(int element)
    {
        for (;;) {
            SkipBlanks();
            if (*m_at == '>' || *m_at == '/' || *m_at == '\0')
                return;
            const std::string name = Name();
            SkipBlanks();
            Expect("=");
            SkipBlanks();
            const char quote = *m_at;
            if (quote != '"' && quote != '\'')
                throw std::runtime_error("unquoted attribute");
            ++m_at;
            const std::string value = Until(quote == '"' ? "\"" : "'");
            m_document.SetAttribute(element, name.c_str(), value.c_str());
        }
    }

    std::string ReadCharacter()
    {
        if (*m_at != '&')
            return std::string(1, *m_at++);
        const std::string reference = (++m_at, Until(";"));
        if (reference == "lt") return "<";
        if (reference == "gt") return ">";
        if (reference == "amp") return "&";
        if (reference == "quot") return "\"";
        if (reference == "apos") return "'";
        if (reference.size() > 1 && reference[0] == '#') {
            const bool hex = reference[1] == 'x';
            return Utf8(std::stoul(reference.substr(hex ? 2 : 1), nullptr, hex ? 16 : 10));
        }
        throw std::runtime_error("unknown reference " + reference);
    }

    static std::string Utf8(unsigned long code)
    {
        std::string out;
        AppendUtf8(out, code);
        return out;
    }

    CTestDocument& m_document;
    const char* m_at;
};

CTestDocument CTestDocument::FromXml(const char* xml)
{
    CTestDocument document;
    Reader(document, xml).Read();
    return document;
}

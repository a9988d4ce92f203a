#include "feeds/ItemSalvage.h"

#include "feeds/CMarkupScanner.h"
#include "feeds/MarkupRepair.h"

namespace {

typedef CMarkupScanner::Piece Piece;

// The parser goes no deeper (the program sets its MaxElementDepth so); nothing below can parse.
const size_t kMaxDepth = 1024;
// An end tag closes an element at most this far up; beyond, it is taken as stray. This keeps
// the search for the element it closes short on documents of many open elements.
const size_t kEndTagReach = 64;
// Elements kept from before the first item; a feed has a dozen or so.
const size_t kMaxHeaders = 4096;

bool IsItemName(const std::string& xml, const Piece& tag)
{
    const size_t length = tag.nameEnd - tag.nameBegin;
    return (length == 4 && xml.compare(tag.nameBegin, 4, "item") == 0)
        || (length == 5 && xml.compare(tag.nameBegin, 5, "entry") == 0);
}

bool IsBlank(const std::string& xml, const Piece& piece)
{
    for (size_t at = piece.begin; at < piece.end; ++at) {
        if (!CMarkupScanner::IsBlank(xml[at]))
            return false;
    }
    return piece.kind == CMarkupScanner::kText;
}

bool SameName(const std::string& xml, const Piece& a, const Piece& b)
{
    const size_t length = a.nameEnd - a.nameBegin;
    return length == b.nameEnd - b.nameBegin && xml.compare(a.nameBegin, length, xml, b.nameBegin, length) == 0;
}

class Finder {
public:
    explicit Finder(const std::string& xml) : m_xml(xml) {}

    WholeParts Find()
    {
        m_whole.rootBegin = FindRootElement(m_xml, 0);
        if (m_whole.rootBegin == std::string::npos) {
            m_whole.rootBegin = 0;
            return m_whole;
        }
        CMarkupScanner scanner(m_xml, m_whole.rootBegin);
        Piece piece;
        while (scanner.Next(piece)) {
            switch (piece.kind) {
            case CMarkupScanner::kStartTag:
                if (piece.broken)
                    Spoil();
                else if (piece.selfClosing)
                    Complete({piece.begin, piece.end}, IsItemName(m_xml, piece), true);
                else if (m_open.size() >= kMaxDepth)
                    return m_whole;
                else
                    Open(piece);
                break;
            case CMarkupScanner::kEndTag:
                if (piece.broken)
                    Spoil();
                else
                    Close(piece);
                break;
            case CMarkupScanner::kText:
            case CMarkupScanner::kCData:
                if (!m_open.empty() && !IsBlank(m_xml, piece))
                    m_open.back().text = true;
                if (piece.broken)
                    Spoil();
                break;
            case CMarkupScanner::kComment:
            case CMarkupScanner::kInstruction:
                if (piece.broken)
                    Spoil();
                break;
            default: // a stray "<" or a declaration inside the document
                Spoil();
                break;
            }
        }
        return m_whole;
    }

private:
    struct OpenElement {
        Piece tag;
        bool whole;
        bool item;
        bool text; // holds text of its own, so it is a field left open rather than a container
    };
    struct Pending {
        WholeParts::Span span;
        size_t depth; // how many elements were open around it
    };

    void Open(const Piece& tag)
    {
        const bool item = IsItemName(m_xml, tag);
        m_open.push_back(OpenElement{tag, true, item, false});
        m_openItems += item ? 1 : 0;
    }

    // The element at the top is no longer whole, and so none that hold it.
    void Spoil()
    {
        if (!m_open.empty())
            m_open.back().whole = false;
    }

    void Close(const Piece& endTag)
    {
        size_t match = m_open.size();
        for (size_t i = m_open.size(); i > 0 && m_open.size() - i < kEndTagReach; --i) {
            if (SameName(m_xml, m_open[i - 1].tag, endTag)) {
                match = i - 1;
                break;
            }
        }
        if (match == m_open.size()) {
            Spoil(); // an end tag that closes nothing
            return;
        }
        while (m_open.size() > match + 1) { // left open: neither they nor what holds them is whole
            Pop();
            Spoil();
        }
        const OpenElement element = m_open.back();
        Pop();
        Complete({element.tag.begin, endTag.end}, element.item, element.whole);
        if (!element.whole)
            Spoil();
    }

    void Pop()
    {
        m_openItems -= m_open.back().item ? 1 : 0;
        m_open.pop_back();
    }

    void Complete(WholeParts::Span span, bool item, bool whole)
    {
        // What the element holds was kept until it ended; the element itself stands for it now.
        while (!m_pending.empty() && m_pending.back().span.begin >= span.begin)
            m_pending.pop_back();
        if (!whole)
            return;
        if (item && m_openItems == 0) {
            if (m_whole.items == 0)
                TakeHolders();
            m_whole.parts.push_back({span, true});
            ++m_whole.items;
        } else if (m_whole.items == 0 && m_pending.size() < kMaxHeaders) {
            m_pending.push_back({span, m_open.size()});
        }
    }

    // The elements open around the first item hold the items, but for fields left open before
    // it (a "<link>" never closed): those go, with what stands in them.
    void TakeHolders()
    {
        std::vector<bool> kept(m_open.size());
        for (size_t i = 0; i < m_open.size(); ++i) {
            const Piece& tag = m_open[i].tag;
            const std::string name = m_xml.substr(tag.nameBegin, tag.nameEnd - tag.nameBegin);
            kept[i] = (i == 0 || kept[i - 1]) && (!m_open[i].text || name == "channel" || IsFeedRootName(name));
            if (kept[i])
                m_whole.holders.push_back({{tag.begin, tag.end}, name});
        }
        for (const Pending& header : m_pending) {
            if (header.depth == 0 || kept[header.depth - 1])
                m_whole.parts.push_back({header.span, false});
        }
        m_pending.clear();
    }

    const std::string& m_xml;
    WholeParts m_whole;
    std::vector<OpenElement> m_open;
    size_t m_openItems = 0;
    std::vector<Pending> m_pending; // whole elements inside the open ones, before any item
};

} // namespace

WholeParts FindWholeParts(const std::string& xml)
{
    return Finder(xml).Find();
}

std::string WholePartsDocument(const std::string& xml, const WholeParts& whole, const std::vector<size_t>& chosen)
{
    std::string opening, closing;
    if (whole.holders.empty()) {
        bool entries = false;
        for (const WholeParts::Part& part : whole.parts)
            entries = entries || (part.item && xml.compare(part.span.begin, 6, "<entry") == 0);
        opening = entries ? "<feed xmlns=\"http://www.w3.org/2005/Atom\">" : "<rss version=\"2.0\"><channel>";
        closing = entries ? "</feed>" : "</channel></rss>";
    }
    std::string out(xml, 0, whole.rootBegin);
    out += opening;
    size_t holder = 0;
    const auto openHoldersBefore = [&](size_t offset) {
        for (; holder < whole.holders.size() && whole.holders[holder].tag.begin < offset; ++holder) {
            const WholeParts::Span& tag = whole.holders[holder].tag;
            out.append(xml, tag.begin, tag.end - tag.begin);
        }
    };
    for (const size_t index : chosen) {
        const WholeParts::Span& span = whole.parts[index].span;
        openHoldersBefore(span.begin);
        out.append(xml, span.begin, span.end - span.begin);
    }
    openHoldersBefore(std::string::npos);
    for (size_t i = whole.holders.size(); i > 0; --i)
        out += "</" + whole.holders[i - 1].name + ">";
    return out + closing;
}

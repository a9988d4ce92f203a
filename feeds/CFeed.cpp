#include "feeds/CFeed.h"

#include "feeds/CleanDescription.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>

namespace {

const int kChannelDepth = 4; // rss (2) > channel (3) > title (4)

// An element name of the tables below. Names are compared exactly, byte for byte; the length
// goes first, which settles most comparisons of a walk at once.
struct Name {
    template <size_t Size>
    Name(const char (&text)[Size]) : text(text), length(static_cast<int>(Size - 1))
    {
    }
    const char* text;
    int length;
};

bool operator==(const CString& name, const Name& entry)
{
    return name.GetLength() == entry.length && std::memcmp(name.GetString(), entry.text, entry.length) == 0;
}

const Name kRss("rss");
const Name kImage("image");
const Name kItem("item");

struct ChannelField {
    Name name;
    bool onlyAtChannelDepth;
    CString CFeedSource::*field;
};

const int kRootDepth = 2;    // the document (1) > its root element (2)
const Name kAtomFeed("feed");

const ChannelField kChannelFields[] = {
    {"copyright", false, &CFeedSource::m_strCopyright},
    {"title", true, &CFeedSource::m_strTitle},
    {"link", true, &CFeedSource::m_strLink},
    {"description", true, &CFeedSource::m_strDescription},
    {"language", false, &CFeedSource::m_strLanguage},
    {"webMaster", false, &CFeedSource::m_strWebMaster},
    {"lastBuildDate", false, &CFeedSource::m_strLastBuildDate},
    {"ttl", false, &CFeedSource::m_strTtl},
    {"generator", false, &CFeedSource::m_strGenerator},
};

struct ImageField {
    Name name;
    CString CFeedSource::*field;
};

const ImageField kImageFields[] = {
    {"title", &CFeedSource::m_strImageTitle},
    {"url", &CFeedSource::m_strImageUrl},
    {"link", &CFeedSource::m_strImageLink},
    {"width", &CFeedSource::m_strImageWidth},
    {"height", &CFeedSource::m_strImageHeight},
    {"description", &CFeedSource::m_strImageDescription},
};

struct ItemField {
    Name name;
    CString CFeedItem::*field;
};

const ItemField kItemFields[] = {
    {"title", &CFeedItem::m_strTitle},
    {"description", &CFeedItem::m_strDescription},
    {"link", &CFeedItem::m_strLink},
    {"author", &CFeedItem::m_strAuthor},
    {"category", &CFeedItem::m_strCategory},
    {"pubDate", &CFeedItem::m_strPubDate},
    {"subject", &CFeedItem::m_strSubject},
};

const size_t kChannelFieldCount = sizeof(kChannelFields) / sizeof(kChannelFields[0]);

// What a node's action tells the walk about its children.
const int kNoItem = -1;
const int kSkipChildren = -2;

bool IsElement(const CFeedNode& node)
{
    return node.GetType() == CFeedNode::ELEMENT;
}

// The address of an Atom element's links that stands for the page: the link marked "alternate",
// else the first link without a rel.
class AtomLink {
public:
    void Consider(const CFeedNode& link)
    {
        const CString rel = link.GetAttribute("rel");
        if (rel == "alternate" && !m_alternate) {
            m_href = link.GetAttribute("href");
            m_alternate = true;
        } else if (rel.IsEmpty() && !m_alternate && !m_plain) {
            m_href = link.GetAttribute("href");
            m_plain = true;
        }
    }
    bool Found() const { return m_alternate || m_plain; }
    const CString& Href() const { return m_href; }

private:
    CString m_href;
    bool m_alternate = false;
    bool m_plain = false;
};

// One Atom entry as an item. The date is the first there is of "published", "updated" (Atom
// 1.0), "issued" and "modified" (Atom 0.3); the description the summary, else the content.
CFeedItem ReadAtomEntry(const CFeedNode& entry)
{
    static const Name kDates[] = {"published", "updated", "issued", "modified"};
    const size_t kNoDate = sizeof(kDates) / sizeof(kDates[0]);
    CFeedItem item;
    AtomLink link;
    size_t dateRank = kNoDate;
    bool haveSummary = false, haveContent = false, haveCategory = false;
    CString content;
    for (std::unique_ptr<CFeedNode> child = entry.GetFirstChild(); child; child = child->GetNextSibling()) {
        if (!IsElement(*child))
            continue;
        const CString name = child->GetName();
        if (name == Name("title")) {
            item.m_strTitle = child->GetText();
        } else if (name == Name("link")) {
            link.Consider(*child);
        } else if (name == Name("summary") && !haveSummary) {
            item.m_strDescription = child->GetText();
            haveSummary = true;
        } else if (name == Name("content") && !haveContent) {
            content = child->GetText();
            haveContent = true;
        } else if (name == Name("author")) {
            for (std::unique_ptr<CFeedNode> part = child->GetFirstChild(); part; part = part->GetNextSibling()) {
                if (IsElement(*part) && part->GetName() == Name("name"))
                    item.m_strAuthor = part->GetText();
            }
        } else if (name == Name("category") && !haveCategory) {
            item.m_strCategory = child->GetAttribute("term");
            haveCategory = true;
        } else {
            for (size_t rank = 0; rank < dateRank; ++rank) {
                if (name == kDates[rank]) {
                    item.m_strPubDate = child->GetText();
                    dateRank = rank;
                    break;
                }
            }
        }
    }
    if (!haveSummary)
        item.m_strDescription = content;
    CleanDescription(item.m_strDescription);
    item.m_strLink = link.Href();
    return item;
}

// Stores the text of a child of an "item" element in the field of its name, if it has one.
void ReadItemField(CFeedItem& item, const CString& name, const CFeedNode& child)
{
    for (const ItemField& entry : kItemFields) {
        if (name == entry.name) {
            item.*entry.field = child.GetText();
            if (entry.field == &CFeedItem::m_strDescription)
                CleanDescription(item.m_strDescription);
            return;
        }
    }
}

} // namespace

CFeed::CFeed() : m_itemDatesInOrder(true), m_nDepth(0) {}

CFeed::~CFeed() = default;

struct CFeed::WalkState {
    std::vector<ReadItem> items;
    // The last element of each channel field so far; its text is read when the walk is done.
    // Reading it at every match would read the text of nested fields over and over.
    std::unique_ptr<CFeedNode> fields[kChannelFieldCount];
};

void CFeed::ParseNode(const CFeedNode& node)
{
    WalkState state;
    const int32_t depth = m_nDepth;
    try {
        Walk(node, state);
    } catch (...) {
        m_nDepth = depth;
        throw;
    }
    for (size_t i = 0; i < kChannelFieldCount; ++i) {
        if (state.fields[i])
            m_source.*kChannelFields[i].field = state.fields[i]->GetText();
    }
    AddItems(state.items);
}

// Walked with a path of its own instead of by recursion, so that a document nested deeper than
// the thread's stack allows cannot bring the program down. Each node's own action runs before
// its children are visited, and the next sibling is taken once a node's children are done, as
// a recursive walk would do it.
void CFeed::Walk(const CFeedNode& root, WalkState& state)
{
    struct Step {
        std::unique_ptr<CFeedNode> node;
        int item; // the index in the items read of the item that this node is, or kNoItem
    };
    ++m_nDepth;
    const int rootItem = ParseElement(root, kNoItem, state);
    std::vector<Step> path; // the nodes below the root down to the current one
    std::unique_ptr<CFeedNode> next = rootItem == kSkipChildren ? nullptr : root.GetFirstChild();
    for (;;) {
        if (next) {
            const int parentItem = path.empty() ? rootItem : path.back().item;
            path.push_back(Step{std::move(next), kNoItem});
            ++m_nDepth;
            path.back().item = ParseElement(*path.back().node, parentItem, state);
            next = path.back().item == kSkipChildren ? nullptr : path.back().node->GetFirstChild();
            if (path.back().item == kSkipChildren)
                path.back().item = kNoItem;
        } else if (!path.empty()) {
            next = path.back().node->GetNextSibling();
            path.pop_back();
            --m_nDepth;
        } else {
            break;
        }
    }
    --m_nDepth;
}

// The action of one node of the walk. A child of an "item" element fills a field of its item
// too. Gives the index in the items read of the item that the node starts, kNoItem, or
// kSkipChildren when the node has read all below it.
int CFeed::ParseElement(const CFeedNode& node, int parentItem, WalkState& state)
{
    if (!IsElement(node))
        return kNoItem;
    const CString name = node.GetName();
    if (parentItem >= 0)
        ReadItemField(state.items[static_cast<size_t>(parentItem)].item, name, node);
    if (name == kRss)
        return kNoItem;
    if (name == kAtomFeed && m_nDepth == kRootDepth) {
        ParseAtomFeed(node, state.items);
        return kSkipChildren;
    }
    for (size_t i = 0; i < kChannelFieldCount; ++i) {
        const ChannelField& entry = kChannelFields[i];
        if (name == entry.name) {
            if (!entry.onlyAtChannelDepth || m_nDepth == kChannelDepth)
                state.fields[i] = node.Clone();
            return kNoItem;
        }
    }
    if (name == kImage) {
        ParseImage(node);
    } else if (name == kItem) {
        state.items.emplace_back();
        return static_cast<int>(state.items.size()) - 1;
    }
    return kNoItem;
}

// The feed's own title, page address, subtitle and rights fill the channel fields; each entry
// is an item. Nothing of an entry reaches the channel fields.
void CFeed::ParseAtomFeed(const CFeedNode& feed, std::vector<ReadItem>& items)
{
    AtomLink link;
    for (std::unique_ptr<CFeedNode> child = feed.GetFirstChild(); child; child = child->GetNextSibling()) {
        if (!IsElement(*child))
            continue;
        const CString name = child->GetName();
        if (name == Name("title"))
            m_source.m_strTitle = child->GetText();
        else if (name == Name("link"))
            link.Consider(*child);
        else if (name == Name("subtitle") || name == Name("tagline"))
            m_source.m_strDescription = child->GetText();
        else if (name == Name("rights") || name == Name("copyright"))
            m_source.m_strCopyright = child->GetText();
        else if (name == Name("entry"))
            items.push_back(ReadItem{ReadAtomEntry(*child), CPubDate()});
    }
    if (link.Found())
        m_source.m_strLink = link.Href();
}

void CFeed::ParseImage(const CFeedNode& image)
{
    for (std::unique_ptr<CFeedNode> child = image.GetFirstChild(); child; child = child->GetNextSibling()) {
        if (!IsElement(*child))
            continue;
        const CString name = child->GetName();
        for (const ImageField& entry : kImageFields) {
            if (name == entry.name) {
                m_source.*entry.field = child->GetText();
                break;
            }
        }
    }
}

void CFeed::ParseItem(const CFeedNode& itemNode)
{
    CFeedItem item;
    for (std::unique_ptr<CFeedNode> child = itemNode.GetFirstChild(); child; child = child->GetNextSibling()) {
        if (IsElement(*child))
            ReadItemField(item, child->GetName(), *child);
    }
    InsertItem(std::move(item));
}

// Before the first item that the new one is earlier than, so that items of equal dates stay in
// the order read.
void CFeed::InsertItem(CFeedItem&& item)
{
    const CPubDate date = CPubDate::FromText(item.m_strPubDate);
    SyncItemDates();
    const int index = FindInsertIndex(date);
    m_items.InsertAt(index, std::move(item));
    m_itemDates.insert(m_itemDates.begin() + index, date);
}

// Gives the same order as inserting the items one by one, without moving the items already in
// the array up at every insertion: the items read are put in order by a stable sort and merged
// with the items in the array, which go first among equal dates.
void CFeed::AddItems(std::vector<ReadItem>& items)
{
    if (items.empty())
        return;
    SyncItemDates();
    if (!m_itemDatesInOrder) {
        for (ReadItem& entry : items)
            InsertItem(std::move(entry.item));
        return;
    }
    for (ReadItem& entry : items)
        entry.date = CPubDate::FromText(entry.item.m_strPubDate);
    std::stable_sort(items.begin(), items.end(),
                     [](const ReadItem& a, const ReadItem& b) { return a.date.IsEarlierThan(b.date); });

    std::vector<CFeedItem> present;
    present.reserve(static_cast<size_t>(m_items.GetSize()));
    for (int i = 0; i < m_items.GetSize(); ++i)
        present.push_back(m_items[i]);
    std::vector<CPubDate> presentDates;
    presentDates.swap(m_itemDates);
    m_items.RemoveAll();
    m_itemDates.reserve(present.size() + items.size());

    size_t fromPresent = 0;
    size_t fromRead = 0;
    while (fromPresent < present.size() || fromRead < items.size()) {
        const bool takeRead = fromRead < items.size()
            && (fromPresent == present.size() || items[fromRead].date.IsEarlierThan(presentDates[fromPresent]));
        if (takeRead) {
            m_items.Add(std::move(items[fromRead].item));
            m_itemDates.push_back(items[fromRead].date);
            ++fromRead;
        } else {
            m_items.Add(std::move(present[fromPresent]));
            m_itemDates.push_back(presentDates[fromPresent]);
            ++fromPresent;
        }
    }
}

void CFeed::SyncItemDates()
{
    if (static_cast<int>(m_itemDates.size()) == m_items.GetSize())
        return;
    m_itemDates.clear();
    m_itemDates.reserve(static_cast<size_t>(m_items.GetSize()));
    for (int i = 0; i < m_items.GetSize(); ++i)
        m_itemDates.push_back(CPubDate::FromText(m_items[i].m_strPubDate));
    m_itemDatesInOrder = std::is_sorted(m_itemDates.begin(), m_itemDates.end(),
                                        [](const CPubDate& a, const CPubDate& b) { return a.IsEarlierThan(b); });
}

// The first item that the new date is earlier than; the end when there is none. Items
// inserted this way stay in order, so the search can halve; items put in some other way may
// not be in order, and are then searched one by one.
int CFeed::FindInsertIndex(const CPubDate& date) const
{
    const auto isEarlier = [](const CPubDate& a, const CPubDate& b) { return a.IsEarlierThan(b); };
    if (m_itemDatesInOrder)
        return static_cast<int>(std::upper_bound(m_itemDates.begin(), m_itemDates.end(), date, isEarlier)
                                - m_itemDates.begin());
    for (size_t i = 0; i < m_itemDates.size(); ++i) {
        if (date.IsEarlierThan(m_itemDates[i]))
            return static_cast<int>(i);
    }
    return static_cast<int>(m_itemDates.size());
}

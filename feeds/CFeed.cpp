#include "feeds/CFeed.h"

#include "feeds/CleanDescription.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>

#ifdef _WIN32
#include "feeds/CFeedDownloader.h"
#include "feeds/CMsxmlNode.h"
#include "feeds/FeedFile.h"
#include "feeds/WideText.h"

#include <windows.h>
#include <msxml2.h>
#endif

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

bool IsElement(const CFeedNode& node)
{
    return node.GetType() == CFeedNode::ELEMENT;
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

#ifdef _WIN32
// The version-independent DOMDocument class and its interfaces (not in the import libraries).
const CLSID kClsidDomDocument = {0xF6D90F11, 0x9C73, 0x11D3, {0xB3, 0x2E, 0x00, 0xC0, 0x4F, 0x99, 0x0B, 0xB4}};
const IID kIidXmlDomDocument = {0x2933BF81, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
const IID kIidXmlDomNode = {0x2933BF80, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

// True when the parser read the file as a well-formed document.
bool LoadDocument(IXMLDOMDocument* document, const CString& path)
{
    const std::wstring widePath = AnsiToWide(path);
    VARIANT source;
    ::VariantInit(&source);
    source.vt = VT_BSTR;
    source.bstrVal = ::SysAllocStringLen(widePath.data(), static_cast<UINT>(widePath.size()));
    VARIANT_BOOL loaded = VARIANT_FALSE;
    document->load(source, &loaded);
    ::VariantClear(&source);
    return loaded != VARIANT_FALSE;
}
#endif

} // namespace

CFeed::CFeed() : m_pDoc(nullptr), m_nDepth(0), m_itemDatesInOrder(true) {}

CFeed::~CFeed() = default;

#ifdef _WIN32
void CFeed::Load(const CString& url)
{
    const CString path = GetFeedFilePath();
    if (!CFeedDownloader::Download(url, path)) {
        m_strError.Format("Failed to download %s", url.GetString());
        return;
    }

    if (m_pDoc) {
        m_pDoc->Release();
        m_pDoc = nullptr;
    }
    const HRESULT created = ::CoCreateInstance(kClsidDomDocument, nullptr, CLSCTX_INPROC_SERVER, kIidXmlDomDocument,
                                               reinterpret_cast<void**>(&m_pDoc));
    if (FAILED(created) || !m_pDoc) {
        m_strError = "Failed to load XML parser";
        if (m_pDoc) {
            m_pDoc->Release();
            m_pDoc = nullptr;
        }
        return;
    }

    m_pDoc->put_async(VARIANT_FALSE);
    // A feed must not make the parser read other files or addresses: an external entity could
    // pull a local file into the text of an item (and so into the link that a click opens).
    m_pDoc->put_resolveExternals(VARIANT_FALSE);
    m_pDoc->put_validateOnParse(VARIANT_FALSE);
    if (!LoadDocument(m_pDoc, path)) {
        m_strError = "Failed to load XML Document";
        return; // the parser stays in m_pDoc until the next load
    }

    IXMLDOMNode* documentNode = nullptr;
    if (SUCCEEDED(m_pDoc->QueryInterface(kIidXmlDomNode, reinterpret_cast<void**>(&documentNode))) && documentNode) {
        const CMsxmlNode root(documentNode);
        ParseNode(root);
    }
    m_pDoc->Release();
    m_pDoc = nullptr;
}
#endif

void CFeed::ParseNode(const CFeedNode& node)
{
    std::vector<ReadItem> items;
    const int32_t depth = m_nDepth;
    try {
        Walk(node, items);
    } catch (...) {
        m_nDepth = depth;
        throw;
    }
    AddItems(items);
}

// Walked with a path of its own instead of by recursion, so that a document nested deeper than
// the thread's stack allows cannot bring the program down. Each node's own action runs before
// its children are visited, and the next sibling is taken once a node's children are done, as
// a recursive walk would do it.
void CFeed::Walk(const CFeedNode& root, std::vector<ReadItem>& items)
{
    struct Step {
        std::unique_ptr<CFeedNode> node;
        int item; // the index in `items` of the item that this node is, or -1
    };
    ++m_nDepth;
    const int rootItem = ParseElement(root, -1, items);
    std::vector<Step> path; // the nodes below the root down to the current one
    std::unique_ptr<CFeedNode> next = root.GetFirstChild();
    for (;;) {
        if (next) {
            const int parentItem = path.empty() ? rootItem : path.back().item;
            path.push_back(Step{std::move(next), -1});
            ++m_nDepth;
            path.back().item = ParseElement(*path.back().node, parentItem, items);
            next = path.back().node->GetFirstChild();
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
// too. Gives the index in `items` of the item that the node starts, or -1.
int CFeed::ParseElement(const CFeedNode& node, int parentItem, std::vector<ReadItem>& items)
{
    if (!IsElement(node))
        return -1;
    const CString name = node.GetName();
    if (parentItem >= 0)
        ReadItemField(items[static_cast<size_t>(parentItem)].item, name, node);
    if (name == kRss)
        return -1;
    for (const ChannelField& entry : kChannelFields) {
        if (name == entry.name) {
            if (!entry.onlyAtChannelDepth || m_nDepth == kChannelDepth)
                m_source.*entry.field = node.GetText();
            return -1;
        }
    }
    if (name == kImage) {
        ParseImage(node);
    } else if (name == kItem) {
        items.emplace_back();
        return static_cast<int>(items.size()) - 1;
    }
    return -1;
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

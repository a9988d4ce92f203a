// One feed as it was read: its channel record, its items in date order, and the working
// state of a load.
#pragma once
#include "feeds/CFeedItem.h"
#include "feeds/CFeedNode.h"
#include "feeds/CFeedSource.h"
#include "feeds/CPubDate.h"
#include "feeds/HttpAnswer.h"
#include "fw/CArray.h"
#include "fw/CString.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct IXMLDOMDocument;

class CFeed {
public:
    CFeed();
    CFeed(const CFeed&) = delete;
    CFeed& operator=(const CFeed&) = delete;
    virtual ~CFeed();

#ifdef _WIN32
    // Downloads and parses one feed into this object. Channel fields are overwritten only where
    // the document supplies them and items are only added; a failure is recorded in m_strError.
    // COM must be initialised on the calling thread. Besides RSS it reads Atom, documents that
    // use the named references of HTML, and the feed that a web page names in its head. A
    // document that is not well-formed is repaired, or its whole items are kept (CDocumentRepair);
    // one whose entities would expand beyond all measure is refused, repaired or not.
    void Load(const CString& url);
    // The same, asking the server for the document only if it changed since `conditions` were
    // given. `answer` takes what the server said beyond the body: after a "304 Not Modified" the
    // object is as it was and nothing was read.
    void Load(const CString& url, const CHttpValidators& conditions, CHttpAnswer& answer);
#endif

    // The steps of a load. ParseNode walks a node and everything below it, depth first, in
    // document order, and reads "image" elements through ParseImage. It reads "item" elements
    // the way ParseItem does, but as part of the walk, so that each node is read only once, and
    // adds their items to m_items when the walk is done, in the order ParseItem would give.
    // A channel field that several elements supply takes the text of the last of them, read
    // once when the walk is done. An Atom document (its root a "feed" element) is read as Atom:
    // its entries are the items and the feed's own fields fill the channel fields.
    void ParseNode(const CFeedNode& node);
    void ParseImage(const CFeedNode& image);
    void ParseItem(const CFeedNode& item);

    CFeedSource m_source;
    CArray<CFeedItem, CFeedItem> m_items; // oldest first; equal dates in the order read
    CString m_strError;                   // the most recent load failure
    IXMLDOMDocument* m_pDoc;              // the parser of the load under way (or of a failed parse)
    int32_t m_nDepth;                     // depth in the walk; the document node is at 1

private:
#ifdef _WIN32
    enum class Parsed { kFeed, kWebPage, kNotXml, kRefused };
    static const size_t kMaxExpansion = 16u << 20; // what a document's entities may add, repairs and all

    bool CreateParser();
    Parsed ParseFile(const CString& path, std::string& bytes);
    void WalkDocument();
#endif
    struct ReadItem {
        CFeedItem item;
        CPubDate date;
    };
    struct WalkState;

    void Walk(const CFeedNode& root, WalkState& state);
    int ParseElement(const CFeedNode& node, int parentItem, WalkState& state);
    void ParseAtomFeed(const CFeedNode& feed, std::vector<ReadItem>& items);
    void InsertItem(CFeedItem&& item);
    void AddItems(std::vector<ReadItem>& items);
    void SyncItemDates();
    int FindInsertIndex(const CPubDate& date) const;

    // The date of each item of m_items, read once when the item goes in, so that an insertion
    // costs no date reading and a binary search. The caller empties m_items: the dates are read
    // again whenever the two sizes differ.
    std::vector<CPubDate> m_itemDates;
    bool m_itemDatesInOrder; // false only when the caller put items into m_items in another order
};

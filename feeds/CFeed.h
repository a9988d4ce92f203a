// One feed as it was read: its channel record, its items in date order, and the walk that reads
// them from a document. Portable: CFeedLoader downloads and parses on Windows, tests build their
// own documents.
#pragma once
#include "feeds/CFeedItem.h"
#include "feeds/CFeedNode.h"
#include "feeds/CFeedSource.h"
#include "feeds/CPubDate.h"
#include "fw/CArray.h"
#include "fw/CString.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CFeed {
public:
    CFeed();
    CFeed(const CFeed&) = delete;
    CFeed& operator=(const CFeed&) = delete;
    virtual ~CFeed();

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

    // The depth of the node that the walk under way is at (the node handed to ParseNode is at
    // 1); 0 outside a walk, whether it ended or threw.
    int32_t Depth() const { return m_nDepth; }

private:
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
    int32_t m_nDepth;
};

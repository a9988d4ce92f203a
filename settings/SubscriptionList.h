// Subscription lists: the OPML files in which feed readers list their feeds, dropped on My
// Feeds or linked to, and the feed: links that stand for a feed. Portable; the documents come
// from anywhere and may be anything.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

// A list is read whole, and only so long.
const size_t kLargestSubscriptionList = 2u << 20;
// The most feeds one list adds.
const size_t kMostFeedsOfAList = 1000;

enum class DroppedDocument { SubscriptionList, Feed, Other };

// What a document is by its root element, whatever prefix it has: "opml" is a subscription
// list; "rss", "RDF" or "feed" a feed; anything else (a web page, text, a picture) neither.
DroppedDocument KindOfDocument(const std::string& document);

// The feeds the list names, in document order: the xmlUrl attribute of every outline element at
// any depth, its references decoded and its blanks trimmed, when it is an http or https address
// without control characters or a feed: link to one (taken as the address it stands for);
// anything else is passed over, and so is an address named twice. At most kMostFeedsOfAList.
std::vector<std::string> ReadSubscriptionList(const std::string& document);

// The address a feed: link stands for: "feed://host/x" is "http://host/x", "feed:https://host/x"
// is "https://host/x" (and "feed://https://host/x" the same); other text is given back unchanged.
std::string FeedLinkAddress(const std::string& link);

// True for a link to a subscription list rather than to a feed: an http or https address whose
// path ends in ".opml" (in any letter case).
bool IsSubscriptionListLink(const std::string& link);

// The web address a feed gives as its own: the href of its first link with rel="self" (an Atom
// link, or one that an RSS channel holds) before its first item or entry, when it is an http or
// https address without control characters (a feed: link is taken as the address it stands
// for); empty when it names none.
std::string FeedOwnAddress(const std::string& document);

// What a dropped document adds to My Feeds: the feeds of a subscription list; for a feed, its
// address when that is a web address, and otherwise (a file on this machine or a share, which
// the service could never be told of and which would never change) the web address the feed
// gives as its own, if it gives one; nothing for anything else.
std::vector<std::string> FeedsOfDroppedDocument(const std::string& document, const std::string& address);

// Subscription lists dropped on My Feeds, and the feed: links that stand for a feed.
#include "settings/FeedListRules.h"
#include "settings/SubscriptionList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Feeds = std::vector<std::string>;

const char kExported[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<!-- exported by a feed reader -->
<!DOCTYPE opml [ <!ENTITY x "<outline xmlUrl='http://entity.test/'>"> ]>
<opml version="2.0">
  <head><title>My subscriptions</title></head>
  <body>
    <outline text="News" title="News">
      <outline type="rss" text="Harbour" xmlUrl="http://harbour.test/rss.xml" htmlUrl="http://harbour.test/"/>
      <outline type="rss" text="Search &amp; rescue" xmlUrl="https://rescue.test/feed?a=1&amp;b=2&#38;c=&#x33;"/>
    </outline>
    <outline text="Tech">
      <OUTLINE TEXT="Loud" XMLURL='  http://loud.test/atom  '/>
      <outline text="No feed, a link only" htmlUrl="http://page.test/"/>
      <outline text="feed link" xmlUrl="feed://scheme.test/rss"/>
      <outline text="title with a tag in it &lt;b&gt;" title="a > b" xmlUrl="http://after-angle.test/"/>
      <!-- <outline xmlUrl="http://commented.test/"/> -->
      <![CDATA[ <outline xmlUrl="http://cdata.test/"/> ]]>
      <outline text="again" xmlUrl="HTTP://HARBOUR.TEST/rss.xml"/>
    </outline>
  </body>
</opml>
)";

} // namespace

TEST(SubscriptionList, ReadsTheFeedsOfEveryOutlineInOrder)
{
    EXPECT_EQ(KindOfDocument(kExported), DroppedDocument::SubscriptionList);
    EXPECT_EQ(ReadSubscriptionList(kExported),
              (Feeds{"http://harbour.test/rss.xml", "https://rescue.test/feed?a=1&b=2&c=3", "http://loud.test/atom",
                     "http://scheme.test/rss", "http://after-angle.test/"}));
}

TEST(SubscriptionList, PassesOverWhatIsNoWebFeed)
{
    const std::string list = R"list(<opml><body>
        <outline xmlUrl="file:///C:/users/Public/secret.xml"/>
        <outline xmlUrl="\\host\share\feed.xml"/>
        <outline xmlUrl="file://host/share/feed.xml"/>
        <outline xmlUrl="javascript:alert(1)"/>
        <outline xmlUrl="http://"/>
        <outline xmlUrl=""/>
        <outline xmlUrl="&#0;http://zero.test/"/>
        <outline xmlUrl="http://control.test/&#9;x"/>
        <outline xmlUrl="&#104;ttp://decoded.test/"/>
        <outline xmlUrl=http://unquoted.test/rss>
        <outline xmlUrl="feed:https://secure.test/atom"/>
        <outline xmlUrl="feed:file:///C:/x.xml"/>
        <outline xmlUrl="http://cut.test/)list";
    EXPECT_EQ(ReadSubscriptionList(list), (Feeds{"http://decoded.test/", "http://unquoted.test/rss",
                                                "https://secure.test/atom", "http://cut.test/"}));
}

TEST(SubscriptionList, ReadsNoMoreThanItsShareOfFeeds)
{
    std::string list = "<opml><body>";
    for (size_t i = 0; i < kMostFeedsOfAList + 10; ++i)
        list += "<outline xmlUrl=\"http://f.test/" + std::to_string(i) + "\"/>";
    const Feeds feeds = ReadSubscriptionList(list + "</body></opml>");
    ASSERT_EQ(feeds.size(), kMostFeedsOfAList);
    EXPECT_EQ(feeds.back(), "http://f.test/" + std::to_string(kMostFeedsOfAList - 1));
}

TEST(SubscriptionList, TellsListsFromFeedsAndFromOtherDocuments)
{
    EXPECT_EQ(KindOfDocument("\xEF\xBB\xBF<?xml version='1.0'?><rss version='2.0'><channel/></rss>"),
              DroppedDocument::Feed);
    EXPECT_EQ(KindOfDocument("<rdf:RDF xmlns:rdf='x'><channel/></rdf:RDF>"), DroppedDocument::Feed);
    EXPECT_EQ(KindOfDocument("<!-- <opml> --><feed xmlns='http://www.w3.org/2005/Atom'/>"), DroppedDocument::Feed);
    EXPECT_EQ(KindOfDocument("<x:opml xmlns:x='y'><outline xmlUrl='http://a.test/'/></x:opml>"),
              DroppedDocument::SubscriptionList);
    for (const char* other : {"", "just text", "<!DOCTYPE html><html><head><link rel=alternate></head></html>",
                              "<OPML>", "<rsss/>", "<", "<?xml version='1.0'?>", "\x89PNG\r\n"})
        EXPECT_EQ(KindOfDocument(other), DroppedDocument::Other) << other;

    EXPECT_EQ(FeedsOfDroppedDocument(kExported, "C:\\lists\\mine.opml").size(), 5u);
    EXPECT_EQ(FeedsOfDroppedDocument("<rss><channel/></rss>", "http://a.test/rss"), Feeds{"http://a.test/rss"});
    EXPECT_EQ(FeedsOfDroppedDocument("<html><body>no feed</body></html>", "C:\\page.html"), Feeds{});
    EXPECT_EQ(FeedsOfDroppedDocument("<opml><body/></opml>", "C:\\empty.opml"), Feeds{});
}

TEST(SubscriptionList, AFeedFileAddsTheWebAddressItGivesAsItsOwn)
{
    const std::string saved = R"feed(<?xml version="1.0"?>
        <rss version="2.0" xmlns:atom="http://www.w3.org/2005/Atom"><channel><title>Saved</title>
        <link>http://site.test/</link>
        <atom:link href="http://site.test/feed.xml?a=1&amp;b=2" rel="self" type="application/rss+xml"/>
        <item><title>x</title><atom:link rel="self" href="http://site.test/item"/></item></channel></rss>)feed";
    EXPECT_EQ(FeedOwnAddress(saved), "http://site.test/feed.xml?a=1&b=2");
    // A file on this machine or a share is no address for My Feeds: the feed's own one is taken.
    for (const char* path : {"C:\\Users\\me\\Saved.xml", "\\\\server\\share\\Saved.xml"})
        EXPECT_EQ(FeedsOfDroppedDocument(saved, path), Feeds{"http://site.test/feed.xml?a=1&b=2"}) << path;
    EXPECT_EQ(FeedsOfDroppedDocument("<rss><channel/></rss>", "C:\\feeds\\local.xml"), Feeds{});

    // Atom names itself the same way, its rel in any case and blanks around; feed: links count.
    EXPECT_EQ(FeedOwnAddress("<feed xmlns='http://www.w3.org/2005/Atom'><link href='http://site.test/'/>"
                             "<link rel=' SELF ' href=' feed://site.test/atom '/></feed>"),
              "http://site.test/atom");
    // Links that are not the feed's own, or name no web address, are passed over.
    for (const char* none : {
             "<rss><channel><link>http://site.test/</link></channel></rss>",
             "<rss><channel><atom:link rel='alternate' href='http://site.test/'/></channel></rss>",
             "<rss><channel><item><atom:link rel='self' href='http://site.test/item'/></item></channel></rss>",
             "<feed><entry><link rel='self' href='http://site.test/entry'/></entry></feed>",
             "<rss><channel><atom:link rel='self' href='file:///C:/feed.xml'/></channel></rss>",
             "<rss><channel><atom:link rel='self' href='/relative.xml'/></channel></rss>",
             "<rss><channel><atom:link rel='self' href='http://site.test/a&#10;b'/></channel></rss>",
             "<rss><channel><atom:link rel='self'/></channel></rss>", ""})
        EXPECT_EQ(FeedOwnAddress(none), "") << none;
    EXPECT_EQ(FeedOwnAddress("<feed><link rel='self' href='javascript:x'/><link rel='self' href='https://b.test/'/></feed>"),
              "https://b.test/");
}

TEST(FeedLinks, StandForTheAddressTheyName)
{
    EXPECT_EQ(FeedLinkAddress("feed://news.test/rss.xml"), "http://news.test/rss.xml");
    EXPECT_EQ(FeedLinkAddress("FEED://news.test/rss.xml"), "http://news.test/rss.xml");
    EXPECT_EQ(FeedLinkAddress("feed:https://news.test/atom"), "https://news.test/atom");
    EXPECT_EQ(FeedLinkAddress("feed:http://news.test/atom"), "http://news.test/atom");
    EXPECT_EQ(FeedLinkAddress("feed://https://news.test/atom"), "https://news.test/atom");
    for (const char* kept : {"http://news.test/feed", "feed:javascript:x", "feed:", "feeds://x", "a feed://x", ""})
        EXPECT_EQ(FeedLinkAddress(kept), kept);

    for (const char* list : {"http://lists.test/mine.opml", "https://lists.test/a/b.OPML?from=x#top"})
        EXPECT_TRUE(IsSubscriptionListLink(list)) << list;
    for (const char* feed : {"http://lists.test/mine.opml.xml", "http://lists.test/x?file=mine.opml", "http://host.opml",
                             "http://host.opml?q", "file:///C:/mine.opml", "C:\\mine.opml", "http://.opml", ""})
        EXPECT_FALSE(IsSubscriptionListLink(feed)) << feed;
}

TEST(NewFeeds, AddsWhatTheListLacksInOrderOnce)
{
    CStringArray listed;
    listed.Add("http://a.test/rss");
    listed.Add("http://b.test/rss");
    const std::vector<CString> added =
        NewFeeds(listed, {"http://c.test/", "HTTP://A.TEST/RSS", "", "http://d.test/", "http://C.test/"});
    ASSERT_EQ(added.size(), 2u);
    EXPECT_STREQ(added[0], "http://c.test/");
    EXPECT_STREQ(added[1], "http://d.test/");
    EXPECT_TRUE(NewFeeds(listed, {"http://b.test/rss"}).empty());
}

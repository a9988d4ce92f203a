// The walk of a feed document: which elements fill which fields, at which depth.
#include "feeds/CFeed.h"

#include "CTestDocument.h"
#include "FeedTitles.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

void Walk(CFeed& feed, const CTestDocument& document)
{
    feed.ParseNode(*document.Root());
    EXPECT_EQ(feed.Depth(), 0);
    EXPECT_EQ(CTestDocument::LiveViews(), 0);
}

void Walk(CFeed& feed, const char* xml)
{
    Walk(feed, CTestDocument::FromXml(xml));
}


const char kRss20[] = R"(<?xml version="1.0" encoding="utf-8"?>
<!-- a feed -->
<rss version="2.0" xmlns:dc="http://purl.org/dc/elements/1.1/">
  <channel>
    <title>Harbour News</title>
    <link>http://news.example/</link>
    <description>What &lt;b&gt;happens&lt;/b&gt; at the harbour</description>
    <language>en-gb</language>
    <copyright>(c) 2003 Harbour</copyright>
    <webMaster>desk@news.example</webMaster>
    <lastBuildDate>Tue, 10 Jun 2003 09:41:01 GMT</lastBuildDate>
    <ttl>60</ttl>
    <generator>Quill 1.0</generator>
    <image>
      <url>http://news.example/logo.png</url>
      <title>Harbour logo</title>
      <link>http://news.example/</link>
      <width>88</width>
      <height>31</height>
      <description>The logo</description>
    </image>
    <item>
      <title>Third</title>
      <link>http://news.example/3</link>
      <description><![CDATA[<p>Ships <a href="x">arrive</a>.</p><br />Late.]]></description>
      <pubDate>Tue, 03 Jun 2003 09:39:21 GMT</pubDate>
      <guid>http://news.example/3</guid>
      <author>kim@news.example</author>
      <category>Port</category>
      <category>Weather</category>
      <dc:subject>ignored</dc:subject>
      <subject>Shipping</subject>
    </item>
    <item>
      <title>First</title>
      <description>&lt;div class="x"&gt;Calm&lt;/div&gt; sea</description>
      <pubDate>Sun, 01 Jun 2003 09:39:21 GMT</pubDate>
    </item>
    <item>
      <title>Second</title>
      <pubDate>Mon, 02 Jun 2003 09:39:21 GMT</pubDate>
    </item>
  </channel>
</rss>)";

TEST(FeedWalk, ReadsAnRss2FeedIntoTheChannelAndItsItems)
{
    CFeed feed;
    Walk(feed, kRss20);
    const CFeedSource& source = feed.m_source;
    EXPECT_STREQ(source.m_strTitle, "Harbour News");
    EXPECT_STREQ(source.m_strLink, "http://news.example/");
    EXPECT_STREQ(source.m_strDescription, "What <b>happens</b> at the harbour"); // not cleaned
    EXPECT_STREQ(source.m_strLanguage, "en-gb");
    EXPECT_STREQ(source.m_strCopyright, "(c) 2003 Harbour");
    EXPECT_STREQ(source.m_strWebMaster, "desk@news.example");
    EXPECT_STREQ(source.m_strLastBuildDate, "Tue, 10 Jun 2003 09:41:01 GMT");
    EXPECT_STREQ(source.m_strTtl, "60");
    EXPECT_STREQ(source.m_strGenerator, "Quill 1.0");
    EXPECT_STREQ(source.m_strImageUrl, "http://news.example/logo.png");
    EXPECT_STREQ(source.m_strImageTitle, "Harbour logo");
    EXPECT_STREQ(source.m_strImageLink, "http://news.example/");
    EXPECT_STREQ(source.m_strImageWidth, "88");
    EXPECT_STREQ(source.m_strImageHeight, "31");
    EXPECT_STREQ(source.m_strImageDescription, "The logo");

    EXPECT_EQ(Titles(feed), (Titles_t{"First", "Second", "Third"}));
    const CFeedItem& third = feed.m_items[2];
    EXPECT_STREQ(third.m_strLink, "http://news.example/3");
    EXPECT_STREQ(third.m_strDescription, "Ships arrive.\\par Late.");
    EXPECT_STREQ(third.m_strPubDate, "Tue, 03 Jun 2003 09:39:21 GMT");
    EXPECT_STREQ(third.m_strAuthor, "kim@news.example");
    EXPECT_STREQ(third.m_strCategory, "Weather");
    EXPECT_STREQ(third.m_strSubject, "Shipping");
    EXPECT_STREQ(feed.m_items[0].m_strDescription, "Calm sea");
    EXPECT_STREQ(feed.m_items[1].m_strDescription, "");
    EXPECT_STREQ(feed.m_strError, "");
}

TEST(FeedWalk, LetsRss1ItemsOverwriteTheChannelFieldsAtTheSameDepth)
{
    CFeed feed;
    Walk(feed, R"(<rdf:RDF xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#" xmlns="http://purl.org/rss/1.0/">
      <channel rdf:about="http://news.example/rdf">
        <title>Channel</title><link>http://news.example/</link><description>Channel text</description>
        <image rdf:resource="http://news.example/logo.png" />
      </channel>
      <image rdf:about="http://news.example/logo.png">
        <title>Logo</title><url>http://news.example/logo.png</url><link>http://news.example/</link>
      </image>
      <item rdf:about="http://news.example/1">
        <title>Early item</title><link>http://news.example/1</link><description>one &lt;br /&gt;two</description>
      </item>
      <item rdf:about="http://news.example/2">
        <title>Late item</title><link>http://news.example/2</link><description>Last &lt;i&gt;words&lt;/i&gt;</description>
      </item>
    </rdf:RDF>)");
    EXPECT_STREQ(feed.m_source.m_strTitle, "Late item");
    EXPECT_STREQ(feed.m_source.m_strLink, "http://news.example/2");
    EXPECT_STREQ(feed.m_source.m_strDescription, "Last <i>words</i>");
    EXPECT_STREQ(feed.m_source.m_strImageTitle, "Logo");
    EXPECT_STREQ(feed.m_source.m_strImageUrl, "http://news.example/logo.png");
    EXPECT_EQ(Titles(feed), (Titles_t{"Early item", "Late item"}));
    EXPECT_STREQ(feed.m_items[0].m_strDescription, "one \\par two");
}

TEST(FeedWalk, ReadsAnAtomFeedsEntriesAsItemsAndItsOwnFieldsAsTheChannel)
{
    CFeed feed;
    feed.m_source.m_strLanguage = "kept";
    Walk(feed, R"(<feed xmlns="http://www.w3.org/2005/Atom">
      <title>Blog</title><subtitle>Notes</subtitle><rights>(c) Blog</rights>
      <link rel="self" href="http://blog.example/feed"/><link rel="alternate" href="http://blog.example/"/>
      <entry><title>Later</title><link href="http://blog.example/plain"/>
        <link rel="alternate" href="http://blog.example/later"/><link rel="edit" href="x"/>
        <updated>2024-03-02T10:00:00Z</updated><published>2024-03-01T09:00:00Z</published>
        <summary>Short</summary><content type="html">&lt;p&gt;Long&lt;/p&gt;</content>
        <author><name>Ann</name><email>a@b</email></author>
        <category term="first"/><category term="second"/></entry>
      <entry><title>Earlier</title><link rel="related" href="r"/><link href="http://blog.example/earlier"/>
        <updated>2024-02-01T08:00:00Z</updated>
        <content type="html">&lt;p&gt;Line&lt;br /&gt;two&lt;/p&gt;</content></entry>
      <entry><title>Old style</title><issued>2003-12-13T08:29:29-04:00</issued>
        <modified>2025-01-01T00:00:00Z</modified></entry>
    </feed>)");
    EXPECT_STREQ(feed.m_source.m_strTitle, "Blog");
    EXPECT_STREQ(feed.m_source.m_strLink, "http://blog.example/");
    EXPECT_STREQ(feed.m_source.m_strDescription, "Notes");
    EXPECT_STREQ(feed.m_source.m_strCopyright, "(c) Blog");
    EXPECT_STREQ(feed.m_source.m_strLanguage, "kept");
    ASSERT_EQ(Titles(feed), (Titles_t{"Old style", "Earlier", "Later"}));
    const CFeedItem& later = feed.m_items[2];
    EXPECT_STREQ(later.m_strLink, "http://blog.example/later");
    EXPECT_STREQ(later.m_strPubDate, "2024-03-01T09:00:00Z");
    EXPECT_STREQ(later.m_strDescription, "Short");
    EXPECT_STREQ(later.m_strAuthor, "Ann");
    EXPECT_STREQ(later.m_strCategory, "first");
    EXPECT_STREQ(feed.m_items[1].m_strLink, "http://blog.example/earlier");
    EXPECT_STREQ(feed.m_items[1].m_strDescription, "Line\\par two");
    EXPECT_STREQ(feed.m_items[0].m_strPubDate, "2003-12-13T08:29:29-04:00");
    EXPECT_STREQ(feed.m_items[0].m_strLink, "");

    // Only the document's root counts: a "feed" element elsewhere is nothing special.
    CFeed rss;
    Walk(rss, R"(<rss><channel><title>R</title><feed><entry><title>E</title></entry></feed></channel></rss>)");
    EXPECT_STREQ(rss.m_source.m_strTitle, "R");
    EXPECT_EQ(rss.m_items.GetSize(), 0);
}

TEST(FeedWalk, ReadsTheTextOfNestedChannelFieldsOnceFromTheLastOfThem)
{
    CTestDocument document;
    int parent = document.AddElement(document.AddElement(CTestDocument::kDocument, "rss"), "channel");
    const int kLevels = 20000;
    for (int i = 0; i < kLevels; ++i) {
        parent = document.AddElement(parent, "ttl");
        document.AddText(parent, "x");
    }
    CTestDocument::ResetTextReads();
    CFeed feed;
    Walk(feed, document);
    EXPECT_EQ(CTestDocument::TextReads(), 1);
    EXPECT_STREQ(feed.m_source.m_strTtl, "x"); // the innermost, the last in document order
}

TEST(FeedWalk, LetsTheLaterOfTwoChannelsWinAndMergesTheirItemsByDate)
{
    CFeed feed;
    Walk(feed, R"(<rss><channel><title>A</title><copyright>A copyright</copyright><link>a</link>
        <item><title>a2</title><pubDate>Mon, 2 Jun 2003 00:00:00</pubDate></item>
      </channel><channel><title>B</title><link>b</link>
        <item><title>b3</title><pubDate>Tue, 3 Jun 2003 00:00:00</pubDate></item>
        <item><title>b1</title><pubDate>Sun, 1 Jun 2003 00:00:00</pubDate></item>
      </channel></rss>)");
    EXPECT_STREQ(feed.m_source.m_strTitle, "B");
    EXPECT_STREQ(feed.m_source.m_strLink, "b");
    EXPECT_STREQ(feed.m_source.m_strCopyright, "A copyright");
    EXPECT_EQ(Titles(feed), (Titles_t{"b1", "a2", "b3"}));
}

TEST(FeedWalk, TakesChannelFieldsWithoutDepthRuleFromAnyDepth)
{
    CFeed feed;
    Walk(feed, R"(<rss><channel><language>en</language><copyright>c1</copyright><ttl>5</ttl>
      <item><title>t</title><language>fr</language><copyright>c2</copyright><webMaster>w</webMaster>
        <lastBuildDate>lbd</lastBuildDate><ttl>10</ttl><generator>g</generator></item>
      </channel></rss>)");
    EXPECT_STREQ(feed.m_source.m_strLanguage, "fr");
    EXPECT_STREQ(feed.m_source.m_strCopyright, "c2");
    EXPECT_STREQ(feed.m_source.m_strWebMaster, "w");
    EXPECT_STREQ(feed.m_source.m_strLastBuildDate, "lbd");
    EXPECT_STREQ(feed.m_source.m_strTtl, "10");
    EXPECT_STREQ(feed.m_source.m_strGenerator, "g");
    EXPECT_STREQ(feed.m_source.m_strTitle, ""); // the item's title is at depth 5
}

TEST(FeedWalk, TakesTitleLinkAndDescriptionOnlyAtTheChannelDepth)
{
    CFeed feed;
    Walk(feed, R"(<title>depth 2</title>)");
    Walk(feed, R"(<a><title>depth 3</title><link>l3</link></a>)");
    EXPECT_STREQ(feed.m_source.m_strTitle, "");
    EXPECT_STREQ(feed.m_source.m_strLink, "");
    Walk(feed, R"(<a><b><title>depth <i>four</i></title><c><title>depth 5</title><description>d5</description></c>
      </b><title>depth 3</title></a>)");
    EXPECT_STREQ(feed.m_source.m_strTitle, "depth four");
    EXPECT_STREQ(feed.m_source.m_strDescription, "");
}

TEST(FeedWalk, MatchesNamesExactlyWithoutPrefixesOrOtherCase)
{
    CFeed feed;
    Walk(feed, R"(<rss><channel><Title>Wrong case</Title><TITLE>Upper</TITLE><title>Right</title>
      <dc:language>en</dc:language><LANGUAGE>de</LANGUAGE><Copyright>x</Copyright>
      <Item><title>not an item</title></Item><rss:item><title>nor this</title></rss:item>
      <item><Title>T</Title><dc:title>D</dc:title><content:description>C</content:description>
        <PubDate>Tue, 10 Jun 2003</PubDate><title>Item title</title></item>
      </channel></rss>)");
    EXPECT_STREQ(feed.m_source.m_strTitle, "Right");
    EXPECT_STREQ(feed.m_source.m_strLanguage, "");
    EXPECT_STREQ(feed.m_source.m_strCopyright, "");
    ASSERT_EQ(feed.m_items.GetSize(), 1);
    EXPECT_STREQ(feed.m_items[0].m_strTitle, "Item title");
    EXPECT_STREQ(feed.m_items[0].m_strDescription, "");
    EXPECT_STREQ(feed.m_items[0].m_strPubDate, "");
}

TEST(FeedWalk, ReadsEveryImageWhereverItStandsAndTheLastWins)
{
    CFeed feed;
    Walk(feed, R"(<rss><channel>
      <image><url>u1</url><title>t1</title><width>1</width><url>u1b</url><Height>9</Height></image>
      <deep><deeper><image><link>l2</link></image></deeper></deep>
      <item><title>x</title><image><title>t3</title><description>from an item</description>
        <!-- c --><?title not an element?>loose text</image></item>
      </channel></rss>)");
    EXPECT_STREQ(feed.m_source.m_strImageUrl, "u1b");
    EXPECT_STREQ(feed.m_source.m_strImageWidth, "1");
    EXPECT_STREQ(feed.m_source.m_strImageHeight, "");
    EXPECT_STREQ(feed.m_source.m_strImageLink, "l2");
    EXPECT_STREQ(feed.m_source.m_strImageTitle, "t3");
    EXPECT_STREQ(feed.m_source.m_strImageDescription, "from an item");
    EXPECT_EQ(feed.m_items.GetSize(), 1);
}

TEST(FeedWalk, KeepsTheLastOfRepeatedItemChildrenAndSkipsOthers)
{
    CFeed feed;
    Walk(feed, R"(<rss><channel><item>
      <title>first title</title><category>a</category><category>b</category><category>c</category>
      <guid>g</guid><comments>c</comments><!-- comment --><?title instruction?>
      <title>second title</title>
      </item><item/></channel></rss>)");
    ASSERT_EQ(feed.m_items.GetSize(), 2);
    // The empty item has no date either, and goes after the first undated one.
    const CFeedItem& item = feed.m_items[0];
    EXPECT_STREQ(item.m_strTitle, "second title");
    EXPECT_STREQ(item.m_strCategory, "c");
    const CFeedItem& empty = feed.m_items[1];
    for (const CString* field : {&empty.m_strAuthor, &empty.m_strCategory, &empty.m_strDescription, &empty.m_strLink,
                                 &empty.m_strPubDate, &empty.m_strSubject, &empty.m_strTitle})
        EXPECT_STREQ(*field, "");
}

TEST(FeedWalk, ReadsItemsAsParseItemDoesOnItsOwn)
{
    const CTestDocument document = CTestDocument::FromXml(R"(<item>
      <title>first</title><description>a &lt;b&gt;bold&lt;/b&gt; {word}&lt;br /&gt;</description><link>l</link>
      <author>au</author><category>c1</category><pubDate>Tue, 10 Jun 2003</pubDate><subject>s</subject>
      <category>c2</category><guid>g</guid><!-- comment --><?title instruction?>text<dc:title>x</dc:title>
      <title>second</title><item><title>inner</title></item></item>)");
    CFeed walked;
    Walk(walked, document);
    ASSERT_EQ(walked.m_items.GetSize(), 2);
    CFeed parsed;
    parsed.ParseItem(*document.Root()->GetFirstChild());
    ASSERT_EQ(parsed.m_items.GetSize(), 1);

    const CFeedItem& a = walked.m_items[1]; // the inner item has no date, and goes first
    const CFeedItem& b = parsed.m_items[0];
    EXPECT_STREQ(b.m_strTitle, "second");
    EXPECT_STREQ(b.m_strDescription, "a bold \\{word\\}\\par ");
    EXPECT_STREQ(b.m_strCategory, "c2");
    EXPECT_EQ(a.m_strAuthor, b.m_strAuthor);
    EXPECT_EQ(a.m_strCategory, b.m_strCategory);
    EXPECT_EQ(a.m_strDescription, b.m_strDescription);
    EXPECT_EQ(a.m_strLink, b.m_strLink);
    EXPECT_EQ(a.m_strPubDate, b.m_strPubDate);
    EXPECT_EQ(a.m_strSubject, b.m_strSubject);
    EXPECT_EQ(a.m_strTitle, b.m_strTitle);
    EXPECT_STREQ(walked.m_items[0].m_strTitle, "inner");
    EXPECT_EQ(CTestDocument::LiveViews(), 0);
}

TEST(FeedWalk, ReadsItemsWithinItemsAfterTheirParent)
{
    CFeed feed;
    Walk(feed, R"(<rss><channel><item><title>outer</title><item><title>inner</title></item></item></channel></rss>)");
    EXPECT_EQ(Titles(feed), (Titles_t{"outer", "inner"}));
}

TEST(FeedWalk, TakesTheTextOfCdataAndReferencesAlike)
{
    CFeed feed;
    Walk(feed, R"(<rss><channel><title>Caf&#xE9; &amp; &#1055;&#1088;&#1080; &#26085;&#26412;</title>
      <item><description><![CDATA[<b>bold</b> & {braces}]]></description></item>
      <item><description>&lt;b&gt;bold&lt;/b&gt; &amp; {braces}</description></item>
      </channel></rss>)");
    EXPECT_STREQ(feed.m_source.m_strTitle, "Caf\xC3\xA9 & \xD0\x9F\xD1\x80\xD0\xB8 \xE6\x97\xA5\xE6\x9C\xAC");
    ASSERT_EQ(feed.m_items.GetSize(), 2);
    EXPECT_STREQ(feed.m_items[0].m_strDescription, "bold & \\{braces\\}");
    EXPECT_STREQ(feed.m_items[1].m_strDescription, "bold & \\{braces\\}");
}

TEST(FeedWalk, WalksDocumentsNestedFarDeeperThanAStackWouldAllow)
{
    CTestDocument document;
    int parent = CTestDocument::kDocument;
    for (int depth = 0; depth < 300000; ++depth)
        parent = document.AddElement(parent, "x");
    const int item = document.AddElement(parent, "item");
    document.AddText(document.AddElement(item, "title"), "deep down");
    document.AddText(document.AddElement(CTestDocument::kDocument, "language"), "after");

    CFeed feed;
    Walk(feed, document);
    ASSERT_EQ(feed.m_items.GetSize(), 1);
    EXPECT_STREQ(feed.m_items[0].m_strTitle, "deep down");
    EXPECT_STREQ(feed.m_source.m_strLanguage, "after");
}

TEST(FeedWalk, VisitsSiblingsAtTheirOwnDepth)
{
    // depth: document 1, a 2, b 3, title 4; the sibling of b is at 3 again, its child at 4.
    CTestDocument document;
    const int a = document.AddElement(CTestDocument::kDocument, "a");
    const int b = document.AddElement(a, "b");
    document.AddText(document.AddElement(b, "link"), "b's link");
    document.AddNode(b, CFeedNode::COMMENT, "#comment", "c");
    const int c = document.AddElement(a, "c");
    document.AddText(document.AddElement(c, "title"), "c's title");
    document.AddText(document.AddElement(a, "title"), "a's title");

    CFeed feed;
    Walk(feed, document);
    EXPECT_STREQ(feed.m_source.m_strLink, "b's link");
    EXPECT_STREQ(feed.m_source.m_strTitle, "c's title");
}

TEST(FeedModel, StartsEmpty)
{
    const CFeed feed;
    const CFeedSource& s = feed.m_source;
    for (const CString* field :
         {&s.m_strCopyright, &s.m_strDescription, &s.m_strGenerator, &s.m_strLanguage, &s.m_strLastBuildDate,
          &s.m_strLink, &s.m_strTitle, &s.m_strTtl, &s.m_strWebMaster, &s.m_strImageDescription, &s.m_strImageHeight,
          &s.m_strImageWidth, &s.m_strImageLink, &s.m_strImageTitle, &s.m_strImageUrl})
        EXPECT_TRUE(field->IsEmpty());
    EXPECT_EQ(feed.m_items.GetSize(), 0);
    EXPECT_TRUE(feed.m_strError.IsEmpty());
    EXPECT_EQ(feed.Depth(), 0);
}

TEST(FeedModel, CopiesItemsByValue)
{
    CFeedItem item;
    item.m_strAuthor = "author";
    item.m_strCategory = "category";
    item.m_strDescription = "description";
    item.m_strLink = "link";
    item.m_strPubDate = "Tue, 10 Jun 2003";
    item.m_strSubject = "subject";
    item.m_strTitle = "title";

    CFeedItem copy(item);
    CFeedItem assigned;
    assigned = item;
    for (const CFeedItem* other : {&copy, &assigned}) {
        EXPECT_EQ(other->m_strAuthor, item.m_strAuthor);
        EXPECT_EQ(other->m_strCategory, item.m_strCategory);
        EXPECT_EQ(other->m_strDescription, item.m_strDescription);
        EXPECT_EQ(other->m_strLink, item.m_strLink);
        EXPECT_EQ(other->m_strPubDate, item.m_strPubDate);
        EXPECT_EQ(other->m_strSubject, item.m_strSubject);
        EXPECT_EQ(other->m_strTitle, item.m_strTitle);
    }
    copy.m_strTitle += " changed";
    assigned.m_strLink = "elsewhere";
    EXPECT_STREQ(item.m_strTitle, "title");
    EXPECT_STREQ(item.m_strLink, "link");
    EXPECT_STREQ(copy.m_strTitle, "title changed");
}

} // namespace

// What real feeds bring besides RSS: HTML named references, pages that name their feed instead
// of being one, and DOCTYPEs whose entities would expand without end.
#include "feeds/EntityGuard.h"
#include "feeds/FeedDiscovery.h"
#include "feeds/HtmlEntities.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Replaced(std::string xml)
{
    ReplaceHtmlEntities(xml);
    return xml;
}

} // namespace

TEST(HtmlEntities, BecomeNumericReferencesOutsideCdataAndComments)
{
    EXPECT_EQ(Replaced("<t>a&nbsp;b &eacute;t&eacute; &rsquo;s &hellip;</t>"),
              "<t>a&#xA0;b &#xE9;t&#xE9; &#x2019;s &#x2026;</t>");
    EXPECT_EQ(Replaced("<t a=\"&copy;\">&AMP;&Dagger;&dagger;</t>"), "<t a=\"&#xA9;\">&#x26;&#x2021;&#x2020;</t>");
    // Two characters for one name; the longest names of the list.
    EXPECT_EQ(Replaced("&nvlt;&CounterClockwiseContourIntegral;"), "&#x3C;&#x20D2;&#x2233;");
    // XML's own, numeric, unknown, unterminated and other-case names stay as they are.
    const std::string kept = "&amp;&lt;&gt;&quot;&apos;&#160;&#xA0;&bogus;&nbsp &NBSP; & ; &;";
    std::string text = kept;
    EXPECT_FALSE(ReplaceHtmlEntities(text));
    EXPECT_EQ(text, kept);
    // Inside CDATA sections and comments references mean nothing; an unclosed one runs to the end.
    EXPECT_EQ(Replaced("<![CDATA[&nbsp;]]>&nbsp;<!-- &nbsp; -->&nbsp;<![CDATA[&nbsp;"),
              "<![CDATA[&nbsp;]]>&#xA0;<!-- &nbsp; -->&#xA0;<![CDATA[&nbsp;");
    EXPECT_TRUE(ReplaceHtmlEntities(text = "&nbsp;"));
}

TEST(FeedDiscovery, FindsTheFirstFeedThatThePagesHeadNames)
{
    const std::string page = R"(<!DOCTYPE html><html><head><title>Site</title>
      <!-- <link rel="alternate" type="application/rss+xml" href="/commented.xml"> -->
      <link rel="stylesheet" href="/s.css">
      <link rel="alternate" type="text/html" href="/other.html">
      <LINK REL="Alternate  home" TYPE=" Application/RSS+XML " HREF='../feeds/main.xml?a=1&amp;b=2'>
      <link rel="alternate" type="application/atom+xml" href="/atom.xml">
      </head><body><link rel="alternate" type="application/rss+xml" href="/body.xml"></body></html>)";
    EXPECT_EQ(FindFeedLink(page, "http://site.example/blog/post.html"), "http://site.example/feeds/main.xml?a=1&b=2");

    const std::string atom = R"(<head><link type="application/atom+xml" rel="alternate" href="atom.xml"/></head>)";
    EXPECT_EQ(FindFeedLink(atom, "https://site.example:8080/a/b"), "https://site.example:8080/a/atom.xml");
    // Only in the head, only http and https, and nothing from a page that names none.
    EXPECT_EQ(FindFeedLink("<body><link rel=alternate type=application/rss+xml href=/f></body>", "http://s/"), "");
    EXPECT_EQ(FindFeedLink("<link rel=alternate type=application/rss+xml href=file:///c:/x.xml>", "http://s/"), "");
    // A feed named at a local file or a share is passed over for the next one the head names.
    EXPECT_EQ(FindFeedLink("<link rel=alternate type=application/rss+xml href=file:///c:/x.xml>"
                           "<link rel=alternate type=application/rss+xml href=file://host/share/x.xml>"
                           "<link rel=alternate type=application/atom+xml href=HTTPS://s/atom>", "http://s/"),
              "HTTPS://s/atom");
    EXPECT_EQ(FindFeedLink("<link rel=alternate type=application/rss+xml href=x.xml>", "file:///c:/site/page.html"), "");
    EXPECT_EQ(FindFeedLink("<link rel=alternate type=application/rss+xml href=\"\">", "http://s/"), "");
    EXPECT_EQ(FindFeedLink("<html><head><title>none</title></head></html>", "http://s/"), "");
    EXPECT_EQ(FindFeedLink("<link rel=alternate type=application/rss+xml href=/f", "http://s/"), "http://s/f");
    EXPECT_EQ(FindFeedLink("<link rel=\"alternate", "http://s/"), "");
}

TEST(FeedDiscovery, ResolvesReferencesAsABrowserDoes)
{
    const std::string base = "http://a.example/b/c/d?q#f";
    EXPECT_EQ(ResolveUrl(base, "g"), "http://a.example/b/c/g");
    EXPECT_EQ(ResolveUrl(base, "./g/"), "http://a.example/b/c/g/");
    EXPECT_EQ(ResolveUrl(base, "../g"), "http://a.example/b/g");
    EXPECT_EQ(ResolveUrl(base, "../../../../g"), "http://a.example/g");
    EXPECT_EQ(ResolveUrl(base, "/g?x#y"), "http://a.example/g?x#y");
    EXPECT_EQ(ResolveUrl(base, "//other.example/g"), "http://other.example/g");
    EXPECT_EQ(ResolveUrl(base, "?y"), "http://a.example/b/c/d?y");
    EXPECT_EQ(ResolveUrl(base, "#s"), "http://a.example/b/c/d?q#s");
    EXPECT_EQ(ResolveUrl(base, "  HTTPS://x.example/f  "), "HTTPS://x.example/f");
    EXPECT_EQ(ResolveUrl("http://a.example", "f.xml"), "http://a.example/f.xml");
    EXPECT_TRUE(IsHttpUrl("HtTp://x") && IsHttpUrl("https://x"));
    EXPECT_FALSE(IsHttpUrl("file://x") || IsHttpUrl("http:x") || IsHttpUrl("") || IsHttpUrl("javascript:http://"));
}

TEST(EntityGuard, RefusesExpansionBombsButTakesOrdinaryDoctypes)
{
    const size_t kLimit = 1 << 20;
    EXPECT_TRUE(EntityExpansionIsBounded("<rss><channel/></rss>", kLimit));
    EXPECT_TRUE(EntityExpansionIsBounded(R"(<?xml version="1.0"?>
      <!DOCTYPE rss PUBLIC "-//Netscape Communications//DTD RSS 0.91//EN"
        "http://my.netscape.com/publish/formats/rss-0.91.dtd">
      <rss version="0.91"><channel><title>t</title></channel></rss>)", kLimit));
    EXPECT_TRUE(EntityExpansionIsBounded(R"(<!DOCTYPE rss [ <!ENTITY nbsp "&#160;"> <!-- ] -->
      <!ENTITY sig "Kind regards, &who;"> <!ENTITY who 'the "desk"'> ]>
      <rss><t>&sig; &nbsp; &sig; &unknown;</t></rss>)", kLimit));

    const auto laughs = [](int levels, const char* use) {
        std::string xml = "<?xml version=\"1.0\"?>\n<!DOCTYPE lolz [\n <!ENTITY lol \"lol\">\n";
        for (int i = 1; i <= levels; ++i) {
            xml += " <!ENTITY lol" + std::to_string(i) + " \"";
            for (int j = 0; j < 10; ++j)
                xml += i == 1 ? "&lol;" : "&lol" + std::to_string(i - 1) + ";";
            xml += "\">\n";
        }
        return xml + "]>\n<lolz>" + use + "</lolz>";
    };
    EXPECT_FALSE(EntityExpansionIsBounded(laughs(9, "&lol9;"), kLimit));
    EXPECT_FALSE(EntityExpansionIsBounded(laughs(9, ""), kLimit)); // declared is enough
    EXPECT_TRUE(EntityExpansionIsBounded(laughs(3, "&lol3;&lol2;"), kLimit));
    // Many uses of a modest entity add up.
    std::string many = "<!DOCTYPE r [<!ENTITY k \"" + std::string(1000, 'k') + "\">]><r>";
    for (int i = 0; i < 2000; ++i)
        many += "&k;";
    EXPECT_FALSE(EntityExpansionIsBounded(many + "</r>", kLimit));
    EXPECT_FALSE(EntityExpansionIsBounded("<!DOCTYPE r [<!ENTITY a \"&b;\"><!ENTITY b \"&a;\">]><r>&a;</r>", kLimit));
    EXPECT_FALSE(EntityExpansionIsBounded("<!DOCTYPE r [<!ENTITY % p \"x\"> %p;]><r/>", kLimit));
    std::string chain = "<!DOCTYPE r [";
    for (int i = 0; i < 100; ++i)
        chain += "<!ENTITY e" + std::to_string(i) + " \"&e" + std::to_string(i + 1) + ";\">";
    EXPECT_FALSE(EntityExpansionIsBounded(chain + "]><r>&e0;</r>", kLimit));
    // A DOCTYPE text inside the document is no DOCTYPE.
    EXPECT_TRUE(EntityExpansionIsBounded("<r><![CDATA[<!DOCTYPE x [<!ENTITY % p \"\">]>]]></r>", kLimit));
}

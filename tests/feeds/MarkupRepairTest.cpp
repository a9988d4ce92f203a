// The repairs of markup that feeds in the wild get wrong, each on its own.
#include "feeds/MarkupRepair.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The text after the repair, and whether it said it changed anything (checked to agree).
template <typename Repair>
std::string Repaired(Repair repair, std::string text)
{
    const std::string before = text;
    const bool changed = repair(text);
    EXPECT_EQ(changed, text != before) << before;
    return text;
}

} // namespace

TEST(MarkupRepair, StripsWhatStandsBeforeTheDeclarationOrTheRoot)
{
    const std::string feed = "<?xml version=\"1.0\"?><!-- c --><!DOCTYPE rss [<!ENTITY e \"x\">]>\n<rss/>";
    EXPECT_EQ(Repaired(StripLeadingJunk, "\n\n  " + feed), feed);
    EXPECT_EQ(Repaired(StripLeadingJunk, "\xEF\xBB\xBF\xEF\xBB\xBF" + feed), feed);
    EXPECT_EQ(Repaired(StripLeadingJunk, "<br />\n<b>Warning</b>: line <b>3</b><br />\n" + feed), feed);
    EXPECT_EQ(Repaired(StripLeadingJunk, "\xEF\xBB\xBF" + feed), "\xEF\xBB\xBF" + feed); // a mark is allowed
    // Text and elements between the declaration and a feed's root; a second declaration.
    EXPECT_EQ(Repaired(StripLeadingJunk, "<?xml version=\"1.0\"?>junk <br/><?xml version=\"1.0\"?> <rss/>"),
              "<?xml version=\"1.0\"?> <rss/>");
    EXPECT_EQ(Repaired(StripLeadingJunk, "Content-Type: text/xml\n\n<feed/>"), "<feed/>");
    EXPECT_EQ(Repaired(StripLeadingJunk, "x <?pi?><rdf:RDF/>"), "<?pi?><rdf:RDF/>");
    // Not a feed's root: only text goes before it.
    EXPECT_EQ(Repaired(StripLeadingJunk, "junk<html><p>x</p></html>"), "<html><p>x</p></html>");
    EXPECT_EQ(Repaired(StripLeadingJunk, "no markup at all"), "no markup at all");
}

TEST(MarkupRepair, RemovesCharactersThatXmlForbids)
{
    const char controls[] = "<r a=\"\x01\">t\tb\x07\x0B\x0C\x1F\r\n\0x</r>";
    EXPECT_EQ(Repaired(RemoveForbiddenCharacters, std::string(controls, sizeof controls - 1)),
              "<r a=\"\">t\tb\r\nx</r>");
    EXPECT_EQ(Repaired(RemoveForbiddenCharacters, "<r>a\xEF\xBF\xBE" "b\xEF\xBF\xBF" "c\xEF\xBF\xBD</r>"),
              "<r>abc\xEF\xBF\xBD</r>");
    EXPECT_EQ(Repaired(RemoveForbiddenCharacters, "<r t=\"&#1;\">&#x1F;&#0;&#8;&#xD800;&#x110000;&#99999999999;"
                                                  "&#9;&#xA;&#65;&#x1F600;</r>"),
              "<r t=\"\">&#9;&#xA;&#65;&#x1F600;</r>");
    // A character taken out may change the markup around it: here it closes an instruction, and
    // the reference after it is text, to be judged as text.
    const char closing[] = " <??\0>&#2;";
    std::string text(closing, sizeof closing - 1);
    EXPECT_TRUE(RemoveForbiddenCharacters(text));
    EXPECT_EQ(text, " <??>");
    EXPECT_FALSE(RemoveForbiddenCharacters(text));
    // In CDATA sections and comments a reference is only text.
    EXPECT_EQ(Repaired(RemoveForbiddenCharacters, "<r><![CDATA[&#1;\x01]]><!-- &#1; --></r>"),
              "<r><![CDATA[&#1;]]><!-- &#1; --></r>");
}

TEST(MarkupRepair, EscapesReferencesThatStartNothingSoThatTheyShowAsWritten)
{
    EXPECT_EQ(Repaired(EscapeStrayMarkup, "<r><t>AT&T &amp; Q&A</t><l>?a=1&b=2</l><m u=\"x?w=1&h=2\"/></r>"),
              "<r><t>AT&amp;T &amp; Q&amp;A</t><l>?a=1&amp;b=2</l><m u=\"x?w=1&amp;h=2\"/></r>");
    EXPECT_EQ(Repaired(EscapeStrayMarkup, "<r>&bogus; &nbsp &; &#; &#x; & end&</r>"),
              "<r>&amp;bogus; &amp;nbsp &amp;; &amp;#; &amp;#x; &amp; end&amp;</r>");
    // XML's own, HTML's, declared and numeric references stay.
    const std::string kept = "<!DOCTYPE r [<!ENTITY sig \"x\">]><r>&lt;&gt;&amp;&quot;&apos;&eacute;&sig;&#38;&#x26;</r>";
    EXPECT_EQ(Repaired(EscapeStrayMarkup, kept), kept);
    // A "<" that starts no markup; CDATA sections, comments and instructions are left alone.
    EXPECT_EQ(Repaired(EscapeStrayMarkup, "<r>1 < 2 <= 3 <</r>"), "<r>1 &lt; 2 &lt;= 3 &lt;</r>");
    const std::string sections = "<r><![CDATA[a & b < c]]><!-- & < --><?pi & ?></r>";
    EXPECT_EQ(Repaired(EscapeStrayMarkup, sections), sections);
}

TEST(MarkupRepair, ClosesTheRootsEndTagCutShortAtTheEnd)
{
    const std::string rss = "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>t</title></channel>";
    for (const char* cut : {"</rss", "</rs", "</r", "</"})
        EXPECT_EQ(Repaired(CloseCutRootEndTag, rss + cut), rss + "</rss>") << cut;
    EXPECT_EQ(Repaired(CloseCutRootEndTag, rss + "</rs \r\n"), rss + "</rss> \r\n");
    EXPECT_EQ(Repaired(CloseCutRootEndTag, "<a:feed xmlns:a=\"x\"><a:title>t</a:title></p></a:fe"),
              "<a:feed xmlns:a=\"x\"><a:title>t</a:title></p></a:feed>"); // a stray end tag ends nothing
    EXPECT_EQ(Repaired(CloseCutRootEndTag, "<b>junk</b><rdf:RDF><item/>x < y</rdf:"),
              "<b>junk</b><rdf:RDF><item/>x < y</rdf:RDF>");
    // Left alone: the cut tag of another element, one the root is not the only open element for,
    // text after it, a whole tag, a tag in other markup, a root that has ended, or none at all.
    for (const std::string& same :
         {std::string("<rss><channel><title>t</title></chan"), std::string("<rss><channel></rss"),
          std::string("<rss><channel><title>t</title></r"), rss + "</rss x", rss + "</rss>", rss + "</rssx",
          rss + "</rss>\n</rs", rss + "<!-- </rs", rss + "<![CDATA[</rs", rss + "<?pi </rs",
          rss + "<", std::string("<rss/></rs"), std::string("</rss"), std::string("text"), std::string()})
        EXPECT_EQ(Repaired(CloseCutRootEndTag, same), same);
}

TEST(MarkupRepair, CutsWhatFollowsTheRootElement)
{
    EXPECT_EQ(Repaired(CutAfterRoot, "<rss><c><i/></c></rss><br />\n<b>Notice</b>: x\n"), "<rss><c><i/></c></rss>");
    EXPECT_EQ(Repaired(CutAfterRoot, "<?xml version=\"1.0\"?><rss/><rss/>"), "<?xml version=\"1.0\"?><rss/>");
    EXPECT_EQ(Repaired(CutAfterRoot, "<rss><rss></rss></rss>junk"), "<rss><rss></rss></rss>");
    // An end tag of another name that would end the root is stray.
    EXPECT_EQ(Repaired(CutAfterRoot, "<rss><c></x></c></rss>x"), "<rss><c></x></c></rss>");
    // Tags that never pair up: the last end tag of the root's name ends it.
    EXPECT_EQ(Repaired(CutAfterRoot, "<rss><c><br></c></rss>tail"), "<rss><c><br></c></rss>");
    // The root is the feed's root even after junk elements.
    EXPECT_EQ(Repaired(CutAfterRoot, "<b>w</b><rss></rss>tail"), "<b>w</b><rss></rss>");
    // Blanks after the root, a root never closed, or none at all: nothing changes.
    for (const char* same : {"<rss></rss>\n\n", "<rss><c>", "text"})
        EXPECT_EQ(Repaired(CutAfterRoot, same), same);
}

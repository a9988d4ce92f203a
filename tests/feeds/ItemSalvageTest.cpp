// The whole items of documents that are not whole, and documents made of them.
#include "feeds/ItemSalvage.h"

#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

namespace {

std::string Everything(const std::string& xml)
{
    const WholeParts whole = FindWholeParts(xml);
    std::vector<size_t> all(whole.parts.size());
    std::iota(all.begin(), all.end(), 0);
    return WholePartsDocument(xml, whole, all);
}

} // namespace

TEST(ItemSalvage, KeepsTheItemsBeforeTheDamageWithTheChannelFieldsBeforeThem)
{
    const std::string prolog = "<?xml version=\"1.0\"?>\n<!DOCTYPE rss [<!ENTITY e \"x\">]>\n";
    const std::string head = "<rss version=\"2.0\" xmlns:dc=\"d\"><channel><title>T</title><image><url>u</url></image>";
    const std::string one = "<item><title>1</title><dc:x a=\"b\"/></item>";
    const std::string two = "<item><title>2 &e;</title></item>";
    // Cut short, and whole but for the last ">".
    EXPECT_EQ(Everything(prolog + head + one + two + "<item><title>3</ti"),
              prolog + head + one + two + "</channel></rss>");
    EXPECT_EQ(Everything(prolog + head + one + two + "</channel></rss"), prolog + head + one + two + "</channel></rss>");
    // An item whose tags do not pair up is left out, and so is what follows it in a field.
    EXPECT_EQ(Everything(head + one + "<item><title>x</item>" + two + "</channel></rss>"),
              head + one + two + "</channel></rss>");
    EXPECT_EQ(Everything(head + one + "<item><b>x</i></item>" + two + "<title>late</title></channel></rss>"),
              head + one + two + "</channel></rss>");
    // A channel field that is not whole, and one inside an item, are no channel fields.
    EXPECT_EQ(Everything("<rss><channel><title>T</title><link>l<description>d</description>" + one),
              "<rss><channel><title>T</title>" + one + "</channel></rss>");
    // A doubled document gives the items of both.
    EXPECT_EQ(Everything(head + one + "</channel></rss>" + head + two + "</channel></rss>"),
              head + one + two + "</channel></rss>");

    const WholeParts whole = FindWholeParts(prolog + head + one + two + "</channel>");
    EXPECT_EQ(whole.items, 2u);
    ASSERT_EQ(whole.holders.size(), 2u);
    EXPECT_EQ(whole.holders[1].name, "channel");
    ASSERT_EQ(whole.parts.size(), 4u); // title, image, two items
    EXPECT_FALSE(whole.parts[1].item);
    EXPECT_TRUE(whole.parts[2].item);
    EXPECT_EQ(WholePartsDocument(prolog + head + one + two, whole, {0, 3}),
              prolog + "<rss version=\"2.0\" xmlns:dc=\"d\"><channel><title>T</title>" + two + "</channel></rss>");
}

TEST(ItemSalvage, ReadsRdfAndAtomAndItemsWithoutHolders)
{
    const std::string rdf = "<rdf:RDF xmlns:rdf=\"r\" xmlns=\"p\"><channel rdf:about=\"c\"><title>C</title></channel>"
                            "<item rdf:about=\"1\"><title>1</title></item><item rdf:about=\"2\"><ti";
    EXPECT_EQ(Everything(rdf), "<rdf:RDF xmlns:rdf=\"r\" xmlns=\"p\"><channel rdf:about=\"c\"><title>C</title></channel>"
                               "<item rdf:about=\"1\"><title>1</title></item></rdf:RDF>");
    const std::string atom = "<feed xmlns=\"a\"><title>A</title><entry><title>1</title></entry><entry><title>2";
    EXPECT_EQ(Everything(atom), "<feed xmlns=\"a\"><title>A</title><entry><title>1</title></entry></feed>");
    EXPECT_EQ(Everything("<item><title>1</title></item><item/>junk"),
              "<rss version=\"2.0\"><channel><item><title>1</title></item><item/></channel></rss>");
    EXPECT_EQ(Everything("<entry><title>1</title></entry>"),
              "<feed xmlns=\"http://www.w3.org/2005/Atom\"><entry><title>1</title></entry></feed>");
    // An item within an item is part of it; nothing is found in what has no whole item.
    EXPECT_EQ(FindWholeParts("<rss><item><item/></item><item>").items, 1u);
    for (const char* none : {"", "no markup", "<rss><channel><title>T</title>", "<rss><item><title>x</item>",
                             "<rss><item><![CDATA[never closed</item>", "<rss><item a=\"never closed></item>"})
        EXPECT_EQ(FindWholeParts(none).items, 0u) << none;
}

TEST(ItemSalvage, StaysLinearOnDocumentsOfManyOpenElements)
{
    // Elements opened and never closed, deeper than the parser goes, then end tags that close
    // nothing: read in one pass, and no item is found below the depth the parser allows.
    std::string deep;
    for (int i = 0; i < 200000; ++i)
        deep += "<a>";
    for (int i = 0; i < 200000; ++i)
        deep += "</b>";
    EXPECT_EQ(FindWholeParts(deep + "<item/>").items, 0u);
    std::string stray = "<rss><channel>";
    for (int i = 0; i < 200; ++i)
        stray += "<x>";
    for (int i = 0; i < 200000; ++i)
        stray += "</channel>"; // too far up to close: stray
    EXPECT_EQ(FindWholeParts(stray + "<item/>").items, 1u);
}

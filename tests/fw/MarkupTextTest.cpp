// The small markup reader: attributes of a tag, and references in their values.
#include "fw/MarkupText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Attributes(const std::string& tag, size_t& at)
{
    std::string out;
    for (const MarkupAttribute& attribute : ReadTagAttributes(tag, at))
        out += attribute.name + "=[" + attribute.value + "] ";
    return out;
}

} // namespace

TEST(MarkupText, ReadsTheAttributesOfATag)
{
    const std::string tag = "<link REL=alternate  type = 'a \"b\"' href=\"x'y\" checked/><next>";
    size_t at = 5;
    EXPECT_EQ(Attributes(tag, at), "rel=[alternate] type=[a \"b\"] href=[x'y] checked=[] ");
    EXPECT_EQ(tag.substr(at), "<next>");

    // A tag left open ends where the next begins; a quote never closed takes the rest.
    const std::string open = "<a b=1 c <d e='f'>";
    at = 2;
    EXPECT_EQ(Attributes(open, at), "b=[1] c=[] ");
    EXPECT_EQ(open.substr(at), "<d e='f'>");
    const std::string unclosed = "<a b='never closed>";
    at = 2;
    EXPECT_EQ(Attributes(unclosed, at), "b=[never closed>] ");
    EXPECT_EQ(at, unclosed.size());

    std::string many = "<a";
    for (size_t i = 0; i < kMostTagAttributes + 50; ++i)
        many += " n" + std::to_string(i) + "=v";
    many += " last='x'>after";
    at = 2;
    EXPECT_EQ(ReadTagAttributes(many, at).size(), kMostTagAttributes);
    EXPECT_EQ(many.substr(at), "after");
}

TEST(MarkupText, DecodesCharacterReferencesAndTheFiveXmlNames)
{
    EXPECT_EQ(DecodeMarkupReferences("a&amp;b&lt;&gt;&quot;&apos;"), "a&b<>\"'");
    EXPECT_EQ(DecodeMarkupReferences("&#38;&#x26;&#X41;&#233;&#x20AC;&#x1F600;"), "&&A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
    // Anything else stays as written: other names, no semicolon, no character, too long.
    for (const char* kept : {"&nbsp;", "&AMP;", "&#38", "&#;", "&#x;", "&#0;", "&#xD800;", "&#x110000;",
                             "&#0000000038;", "&", "&#x26 ;"})
        EXPECT_EQ(DecodeMarkupReferences(kept), kept);
}

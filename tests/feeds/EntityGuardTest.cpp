// The entity-expansion guard against documents that a parser really does expand beyond measure
// (tests/feeds/bombs, each one shown to be a bomb by xmllint, which expands what it is given),
// and against the ways of hiding a DOCTYPE's declarations from a reader that does not read the
// prolog as a parser does.
#include "feeds/EntityGuard.h"
#include "feeds/HtmlEntities.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

const size_t kLimit = 16u << 20; // what the program allows a document's entities to add

// The size of what `xmllint --noent` (every entity expanded, attribute defaults added) writes.
size_t ExpandedByXmllint(const std::string& path)
{
    const std::string command = "xmllint --noent --huge --dtdattr '" + path + "' 2>/dev/null";
    FILE* output = ::popen(command.c_str(), "r");
    if (!output)
        return 0;
    size_t total = 0;
    char buffer[1 << 16];
    for (size_t read; (read = std::fread(buffer, 1, sizeof buffer, output)) > 0;)
        total += read;
    ::pclose(output);
    return total;
}

// What xmllint adds to a document for the attribute defaults of its DOCTYPE: the size of what it
// writes with them less the size of what it writes without.
size_t AddedDefaultsByXmllint(const std::string& xml)
{
    const TempFile sample(xml);
    const std::string command = "xmllint --noent --huge '" + sample.Path() + "' 2>/dev/null | wc -c";
    FILE* output = ::popen(command.c_str(), "r");
    unsigned long without = 0;
    if (!output || std::fscanf(output, "%lu", &without) != 1)
        without = 0;
    if (output)
        ::pclose(output);
    const size_t with = ExpandedByXmllint(sample.Path());
    return with > without ? with - without : 0;
}

// A document whose DOCTYPE declares `attributes` attributes named by `name` (a printf format of
// the attribute's number) with the default `kind` for the element "i", of which its body holds
// `elements`: written out, or made by the uses of an entity that holds a hundred of them.
std::string DefaultsDocument(int attributes, const char* name, const std::string& kind, int elements, bool byEntity)
{
    std::string xml = "<?xml version=\"1.0\"?>\n<!DOCTYPE rss [\n<!ATTLIST i";
    for (int i = 0; i < attributes; ++i) {
        char attribute[1200];
        std::snprintf(attribute, sizeof attribute, name, i);
        xml += std::string("\n ") + attribute + " " + kind;
    }
    xml += ">\n";
    if (byEntity) {
        xml += "<!ENTITY e \"";
        for (int i = 0; i < 100; ++i)
            xml += "<i/>";
        xml += "\">\n";
    }
    xml += "]>\n<rss version=\"2.0\"><channel><title>t</title>";
    for (int i = 0; i < (byEntity ? elements / 100 : elements); ++i)
        xml += byEntity ? "&e;" : "<i/>";
    return xml + "</channel></rss>\n";
}

struct Bomb {
    const char* file;
    bool htmlRepairFirst; // a bomb only once the named references of HTML are made numeric
};

const Bomb kBombs[] = {
    {"comment-doctype.xml", false},     // a DOCTYPE in a comment before the real one
    {"instruction-bracket.xml", false}, // a "]" in a processing instruction of the subset
    {"character-references.xml", false},// "&#38;l0;" becomes "&l0;" when the parser reads it
    {"html-amp.xml", true},             // "&AMP;l0;" becomes "&#x26;l0;" when repaired
    {"attribute-default.xml", false},   // an ATTLIST default that every element takes
    {"utf16.xml", false},               // a DOCTYPE in UTF-16
    {"utf7.xml", false},                // markup written in base64 in UTF-7
};

} // namespace

TEST(EntityGuard, RefusesEveryDocumentThatXmllintExpandsBeyondTheLimit)
{
    ASSERT_EQ(std::system("command -v xmllint >/dev/null"), 0) << "xmllint (libxml2-utils) is needed";
    for (const Bomb& bomb : kBombs) {
        SCOPED_TRACE(bomb.file);
        std::string xml = ReadTestFile(std::string("bombs/") + bomb.file);
        ASSERT_LT(xml.size(), 1200u);
        if (bomb.htmlRepairFirst) {
            // Unrepaired, the parser refuses the undefined "AMP"; repaired, it is a bomb.
            EXPECT_EQ(ExpandedByXmllint(TestFilePath(std::string("bombs/") + bomb.file)), 0u);
            EXPECT_TRUE(ReplaceHtmlEntities(xml));
        }
        const TempFile sample(xml);
        EXPECT_GT(ExpandedByXmllint(sample.Path()), 90u << 20);
        EXPECT_FALSE(EntityExpansionIsBounded(xml, kLimit));
        EXPECT_GT(EntityExpansion(xml, kLimit), kLimit);
    }
}

// Defaults are added to every element of their name, each with its name and markup: many
// attributes, long values, long names, an element used many times, #FIXED defaults, elements
// that an entity makes. A smaller allowance than the program's keeps xmllint quick.
TEST(EntityGuard, RefusesAttributeDefaultsThatXmllintAddsBeyondTheLimit)
{
    ASSERT_EQ(std::system("command -v xmllint >/dev/null"), 0) << "xmllint (libxml2-utils) is needed";
    const size_t kSmallLimit = 2u << 20;
    struct Shape {
        const char* what;
        std::string xml;
    };
    const std::string longName = "n" + std::string(1000, 'a') + "%d";
    const Shape shapes[] = {
        {"many empty defaults", DefaultsDocument(400, "a%05d", "CDATA ''", 1000, false)},
        {"enumerated defaults", DefaultsDocument(400, "a%05d", "(v|w) 'v'", 1000, false)},
        {"a long value", DefaultsDocument(1, "a%d", "CDATA '" + std::string(4000, 'x') + "'", 1000, false)},
        {"a long name", DefaultsDocument(1, longName.c_str(), "NMTOKEN \"\"", 3000, false)},
        {"an element used many times", DefaultsDocument(8, "a%05d", "CDATA ''", 40000, false)},
        {"#FIXED defaults", DefaultsDocument(400, "a%05d", "CDATA #FIXED ''", 1000, false)},
        {"elements an entity makes", DefaultsDocument(30, "a%05d", "CDATA ''", 10000, true)},
    };
    for (const Shape& shape : shapes) {
        SCOPED_TRACE(shape.what);
        ASSERT_LT(shape.xml.size(), 200000u);
        const size_t added = AddedDefaultsByXmllint(shape.xml);
        EXPECT_GT(added, kSmallLimit);
        EXPECT_FALSE(EntityExpansionIsBounded(shape.xml, kSmallLimit));
        // Never less than the parser adds.
        EXPECT_GE(EntityExpansion(shape.xml, 1u << 30), added);
    }
    // At the program's allowance: 57 KB that give 2500 elements 2500 empty defaults each.
    const std::string wide = DefaultsDocument(2500, "a%06d", "CDATA ''", 2500, false);
    EXPECT_LT(wide.size(), 60000u);
    EXPECT_FALSE(EntityExpansionIsBounded(wide, kLimit));
    // A feed that gives its items a default is read.
    const std::string feed = DefaultsDocument(2, "a%d", "CDATA #FIXED 'yes'", 20, false);
    EXPECT_GE(EntityExpansion(feed, kSmallLimit), AddedDefaultsByXmllint(feed));
    EXPECT_TRUE(EntityExpansionIsBounded(feed, kSmallLimit));
    const std::string types = "<!DOCTYPE r [<!ATTLIST r a ID #IMPLIED b NOTATION (n | m) #REQUIRED\n"
                              "  c (x|y) 'x' d IDREFS \"p q\" e ENTITY #IMPLIED>]><r/>";
    EXPECT_EQ(EntityExpansion(types, kLimit), 4u + std::strlen(" c=\"x\" d=\"p q\"")); // the values, then <r/>'s

}

TEST(EntityGuard, ReadsThePrologAsAParserDoes)
{
    const std::string subset = "<!ENTITY a \"" + std::string(1000, 'a') + "\">";
    const auto uses = [](int count) {
        std::string text;
        for (int i = 0; i < count; ++i)
            text += "&a;";
        return text;
    };
    // Comments and instructions before the DOCTYPE, holding what looks like markup.
    const std::string prolog = "<?xml version=\"1.0\"?><!-- <!DOCTYPE x> ]> --><?pi <!DOCTYPE y> ?>\n";
    EXPECT_EQ(EntityExpansion(prolog + "<!DOCTYPE r [" + subset + "]><r>" + uses(3) + "</r>", kLimit), 3 * 1000u);
    // Literals, comments and instructions in the subset may hold "]" and ">".
    const std::string tricky = "<!-- ] > --><?pi ] > ?><!ENTITY q \"]>\"><!ENTITY s SYSTEM \"x]>\">";
    EXPECT_EQ(EntityExpansion("<!DOCTYPE r [" + tricky + subset + "]><r>" + uses(5) + "&q;</r>", kLimit),
              5 * 1000u + 2);
    // Attribute defaults are read once at their declaration and again for each element, there
    // with the attribute's name and markup (` d="..."`).
    EXPECT_EQ(EntityExpansion("<!DOCTYPE r [" + subset + "<!ATTLIST i d CDATA '&a;'>]><r><i/><i></i><ii/></r>",
                              kLimit), 3 * 1000u + 2 * 5);
    // A character reference is counted by what it becomes: the parser reads "&#x26;a;" as "&a;".
    EXPECT_EQ(EntityExpansion("<!DOCTYPE r [" + subset + "<!ENTITY b '&#x26;a;&#38;a;&#0038;a;'>]><r>&b;</r>",
                              kLimit), 3 * 1000u);
    // The same document in UTF-16 counts the same.
    std::string wide = "\xFF\xFE";
    for (const char c : "<!DOCTYPE r [" + subset + "]><r>&a;</r>")
        wide += std::string{c, '\0'};
    EXPECT_EQ(EntityExpansion(wide, kLimit), 1000u);
}

TEST(EntityGuard, RefusesWhatItCannotReadWithCertainty)
{
    const char* const refused[] = {
        "<!DOCTYPE r [<!ENTITY % p \"x\">]><r/>",                   // a parameter entity
        "<!DOCTYPE r [<!ENTITY a \"x\"> %p; ]><r/>",                // a reference to one
        "<!DOCTYPE r [<!ENTITY a \"50%\">]><r/>",                   // "%" in a value
        "<!DOCTYPE r [<!ENTITY a \"x\"> <!WHATEVER> ]><r/>",         // a declaration not known
        "<!DOCTYPE r [<!ATTLIST r a STRING 'x'>]><r/>",             // an attribute type not known
        "<!DOCTYPE r [<!ATTLIST r a (x|'y') 'x'>]><r/>",            // a literal among the names
        "<!DOCTYPE r [<!ATTLIST r a CDATA>]><r/>",                  // no default
        "<!DOCTYPE r [<!ATTLIST r a CDATA #FIXED>]><r/>",           // no value after #FIXED
        "<!DOCTYPE r [<!ATTLIST r a CDATA 'x'b CDATA 'y'>]><r/>",   // no blank between attributes
        "<!DOCTYPE r [<!ENTITY \xE8\xA1\xA8 \"x\">]><r/>",          // a name outside ASCII
        "<!DOCTYPE r [<!ENTITY a \"x\"><!-- never closed ]><r/>",   // a subset that never ends
        "<!DOCTYPE r [<!ENTITY a \"x\">]><!DOCTYPE s []><r/>",      // a second DOCTYPE
        "<!-- a comment that never ends <r/>",
        "<?xml version=\"1.0\" encoding=\"ISO-2022-JP\"?><r/>",    // bytes that do not show the markup
        "<?xml version=\"1.0\" encoding=\"x-unknown\"?><r/>",
        "\x4C\x6F\xA7\x94\x93\x40",                                 // EBCDIC
    };
    for (const char* xml : refused)
        EXPECT_FALSE(EntityExpansionIsBounded(xml, kLimit)) << xml;
    // Encodings whose bytes show the markup as ASCII are read as they are.
    for (const char* encoding : {"utf-8", "ISO-8859-1", "windows-1251", "Shift_JIS", "big5", "EUC-KR", "gb2312",
                                 "koi8-r", "UTF-16"}) {
        const std::string xml = std::string("<?xml version=\"1.0\" encoding=\"") + encoding + "\"?><r/>";
        EXPECT_EQ(EntityExpansion(xml, kLimit), 0u) << encoding;
    }
}

TEST(EntityGuard, NamesTheEntitiesThatTheDoctypeDeclares)
{
    EXPECT_EQ(DeclaredEntityNames("<!DOCTYPE r [<!ENTITY b \"1\"><!ENTITY a SYSTEM \"x\"><!ENTITY b \"2\">]><r/>"),
              (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(DeclaredEntityNames("<r><!DOCTYPE r [<!ENTITY a \"1\">]></r>").empty()); // not in the prolog
    EXPECT_TRUE(DeclaredEntityNames("<!DOCTYPE r [<!ENTITY % a \"1\">]><r/>").empty());  // refused
}

// Broken documents read as a forgiving reader does, through CDocumentRepair with libxml2 in the
// parser's place (tests/feeds/CLibxmlSystem.h): the corpus of tests/feeds/broken gives items,
// well-formed documents are given to the parser once, as they came, and no text reaches the
// parser without the entity guard.
#include "feeds/CDocumentRepair.h"
#include "feeds/CFeed.h"
#include "feeds/EntityGuard.h"

#include "CLibxmlSystem.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

const size_t kMaxExpansion = 16u << 20;
typedef CDocumentRepair::Outcome Outcome;

struct Read {
    Outcome outcome;
    std::vector<std::string> titles; // of the items, oldest first
    CString channelTitle;
    size_t parses;
    CString channelLink;
};

Read ReadDocument(const std::string& bytes, unsigned repairs = CDocumentRepair::kAllRepairs)
{
    CLibxmlSystem system;
    CDocumentRepair repair(system, kMaxExpansion, repairs);
    Read read{repair.Read(bytes), {}, CString(), system.texts.size(), CString()};
    for (const std::string& text : system.texts)
        EXPECT_LE(EntityExpansion(text, kMaxExpansion), kMaxExpansion) << "a text the guard refuses was parsed";
    if (read.outcome == Outcome::kNotXml || read.outcome == Outcome::kRefused)
        return read;
    const CTestDocument document = system.Document();
    CFeed feed;
    feed.ParseNode(*document.Root());
    for (int i = 0; i < feed.m_items.GetSize(); ++i)
        read.titles.push_back(feed.m_items[i].m_strTitle.GetString());
    read.channelTitle = feed.m_source.m_strTitle;
    read.channelLink = feed.m_source.m_strLink;
    return read;
}

const char kFeed[] = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<rss version=\"2.0\"><channel><title>Harbour</title>"
                     "<item><title>One</title><pubDate>Mon, 02 Jun 2003 09:39:21 GMT</pubDate></item>"
                     "<item><title>Two</title><pubDate>Tue, 03 Jun 2003 09:39:21 GMT</pubDate></item>"
                     "</channel></rss>\n";

} // namespace

TEST(DocumentRepair, GivesAWellFormedFeedToTheParserOnceAsItCame)
{
    CLibxmlSystem system;
    CDocumentRepair repair(system, kMaxExpansion);
    EXPECT_EQ(repair.Read(kFeed), Outcome::kParsed);
    ASSERT_EQ(system.texts.size(), 1u);
    EXPECT_EQ(system.texts[0], kFeed);
    EXPECT_TRUE(system.originals[0]);
    // So is a feed in an encoding the parser knows, and one in UTF-16.
    const Read cp1251 = ReadDocument("<?xml version=\"1.0\" encoding=\"windows-1251\"?><rss><channel><title>\xcf\xee"
                                     "</title><item><title>\xd8</title></item></channel></rss>");
    EXPECT_EQ(cp1251.outcome, Outcome::kParsed);
    EXPECT_EQ(cp1251.parses, 1u);
}

TEST(DocumentRepair, ReadsAnEncodingWhoseBytesHideTheMarkupBeforeTheFirstParse)
{
    // ISO-2022-JP writes its characters with ASCII bytes; the guard could not read it as it came.
    const std::string feed = ReadTestFile("broken/iso-2022-jp.xml");
    CLibxmlSystem system;
    CDocumentRepair repair(system, kMaxExpansion);
    EXPECT_EQ(repair.Read(feed), Outcome::kParsed);
    ASSERT_EQ(system.texts.size(), 1u);
    EXPECT_FALSE(system.originals[0]);
    EXPECT_NE(system.texts[0].find("encoding=\"utf-8\""), std::string::npos);
    EXPECT_NE(system.texts[0].find("\xe3\x83\x8b\xe3\x83\xa5\xe3\x83\xbc\xe3\x82\xb9"), std::string::npos); // ニュース
}

TEST(DocumentRepair, RepairsOnlyWhatDidNotParseAndSalvagesWhatRepairsCannotMend)
{
    const std::string feed = kFeed;
    // Bare "&", text after the root: repaired in one more parse.
    std::string broken = feed;
    broken.replace(broken.find("Harbour"), 7, "Ships & boats");
    broken += "<b>Notice</b>";
    const Read repaired = ReadDocument(broken);
    EXPECT_EQ(repaired.outcome, Outcome::kRepaired);
    EXPECT_EQ(repaired.parses, 2u);
    EXPECT_STREQ(repaired.channelTitle, "Ships & boats");
    EXPECT_EQ(repaired.titles, (std::vector<std::string>{"One", "Two"}));
    // Cut short in the second item: the first stays, with the channel's title.
    const Read cut = ReadDocument(feed.substr(0, feed.find("Two")));
    EXPECT_EQ(cut.outcome, Outcome::kSalvaged);
    EXPECT_STREQ(cut.channelTitle, "Harbour");
    EXPECT_EQ(cut.titles, (std::vector<std::string>{"One"}));
    // Left out, a repair gains nothing.
    const unsigned withoutEscapes =
        CDocumentRepair::kAllRepairs & ~(CDocumentRepair::kStrayReferences | CDocumentRepair::kItemSalvage);
    EXPECT_EQ(ReadDocument(broken, withoutEscapes).outcome, Outcome::kNotXml);
    // The salvage then keeps the items, but not the channel's title that the "&" spoils.
    const Read salvaged = ReadDocument(broken, CDocumentRepair::kAllRepairs & ~CDocumentRepair::kStrayReferences);
    EXPECT_EQ(salvaged.outcome, Outcome::kSalvaged);
    EXPECT_STREQ(salvaged.channelTitle, "");
    EXPECT_EQ(salvaged.titles, (std::vector<std::string>{"One", "Two"}));
    EXPECT_EQ(ReadDocument(feed.substr(0, feed.find("Two")), 0).outcome, Outcome::kNotXml);
}

TEST(DocumentRepair, ClosesTheRootsEndTagCutShortAtTheEnd)
{
    // Channels without items, which the salvage could not give.
    const std::string rss = "<?xml version=\"1.0\"?>\n<rss version=\"2.0\"><channel><title>testing &#8216; entity"
                            "</title><link>http://domain/</link></channel>";
    const std::string atom = "<?xml version=\"1.0\"?>\n<feed xmlns=\"http://www.w3.org/2005/Atom\"><title>Atom</title>"
                             "<link href=\"http://domain/?a=1&amp;b=2\"/>";
    for (const char* cut : {"</rss", "</rss\n", "</rs", "</"}) {
        const Read read = ReadDocument(rss + cut);
        EXPECT_EQ(read.outcome, Outcome::kRepaired) << cut;
        EXPECT_STREQ(read.channelTitle, "testing \xE2\x80\x98 entity");
        EXPECT_STREQ(read.channelLink, "http://domain/");
    }
    for (const char* cut : {"</feed", "</fee \n"}) {
        const Read read = ReadDocument(atom + cut);
        EXPECT_EQ(read.outcome, Outcome::kRepaired) << cut;
        EXPECT_STREQ(read.channelTitle, "Atom");
        EXPECT_STREQ(read.channelLink, "http://domain/?a=1&b=2");
    }
    // Left out, the document does not parse; the cut tag of another element is no root's.
    EXPECT_EQ(ReadDocument(rss + "</rss", CDocumentRepair::kAllRepairs & ~CDocumentRepair::kCutRootEndTag).outcome,
              Outcome::kNotXml);
    EXPECT_EQ(ReadDocument(rss.substr(0, rss.size() - 3)).outcome, Outcome::kNotXml);
    // The corpus's feeds cut so are read whole, not salvaged.
    for (const char* name : {"root-end-tag-cut.xml", "atom-end-tag-cut.xml", "missing-last-gt.xml"}) {
        const Read read = ReadDocument(ReadTestFile(std::string("broken/") + name));
        EXPECT_EQ(read.outcome, Outcome::kRepaired) << name;
    }
}

TEST(DocumentRepair, KeepsTheItemsThatParseWhenSomeWholeOnesDoNot)
{
    // Items whose tags pair up but which the parser refuses (an attribute given twice).
    std::string feed = "<rss><channel><title>T</title>";
    for (int i = 0; i < 40; ++i)
        feed += i % 13 == 5 ? "<item a=\"1\" a=\"2\"><title>bad</title></item>"
                            : "<item><title>" + std::to_string(i) + "</title></item>";
    const Read read = ReadDocument(feed + "</channel>");
    EXPECT_EQ(read.outcome, Outcome::kSalvaged);
    EXPECT_EQ(read.titles.size(), 37u);
    EXPECT_STREQ(read.channelTitle, "T");
    // When every item is refused, the parses stay bounded and nothing is salvaged.
    std::string hopeless = "<rss><channel>";
    for (int i = 0; i < 5000; ++i)
        hopeless += "<item a=\"1\" a=\"2\"/>";
    const Read none = ReadDocument(hopeless);
    EXPECT_EQ(none.outcome, Outcome::kNotXml);
    EXPECT_LE(none.parses, 3u + CDocumentRepair::kMaxSalvageParses);
}

TEST(DocumentRepair, NeverGivesTheParserATextThatTheGuardRefuses)
{
    // Refused as they came, after the repair of HTML references ("&AMP;l0;" becomes "&#x26;l0;"),
    // and within salvaged parts.
    for (const std::string& name : TestFolderFiles("bombs")) {
        SCOPED_TRACE(name);
        std::string bomb = ReadTestFile("bombs/" + name);
        for (const std::string& variant : {bomb, bomb.substr(0, bomb.size() - 10)}) {
            CLibxmlSystem system;
            CDocumentRepair repair(system, kMaxExpansion);
            const Outcome outcome = repair.Read(variant);
            EXPECT_TRUE(outcome == Outcome::kRefused || outcome == Outcome::kNotXml);
            for (const std::string& text : system.texts)
                EXPECT_LE(EntityExpansion(text, kMaxExpansion), kMaxExpansion) << text.substr(0, 200);
            EXPECT_LE(system.texts.size(), name == "html-amp.xml" ? 1u : 0u);
        }
    }
    // One allowance for all the texts of a read: an entity that each salvaged part uses adds up.
    std::string shared = "<!DOCTYPE rss [<!ENTITY k \"" + std::string(1 << 20, 'k') + "\">]><rss><channel>";
    for (int i = 0; i < 12; ++i)
        shared += "<item><title>&k;</title></item>";
    EXPECT_EQ(ReadDocument(shared + "<item a='1' a='2'/>").outcome, Outcome::kRefused);
}

// Each document of the corpus gives items once repaired; the table says what each repair gains
// on the corpus when it is the one added to the repair of HTML references alone.
TEST(DocumentRepair, EveryDocumentOfTheBrokenCorpusGivesItems)
{
    struct Column {
        const char* name;
        unsigned repairs;
    };
    const unsigned kBase = CDocumentRepair::kHtmlReferences;
    const Column columns[] = {
        {"html", kBase},
        {"+encoding", kBase | CDocumentRepair::kEncoding},
        {"+junk", kBase | CDocumentRepair::kLeadingJunk},
        {"+controls", kBase | CDocumentRepair::kForbiddenCharacters},
        {"+stray", kBase | CDocumentRepair::kStrayReferences},
        {"+trailing", kBase | CDocumentRepair::kTrailingText},
        {"+salvage", kBase | CDocumentRepair::kItemSalvage},
        {"+end tag", kBase | CDocumentRepair::kCutRootEndTag},
        {"all", CDocumentRepair::kAllRepairs},
    };
    std::printf("%-36s", "document (items given)");
    for (const Column& column : columns)
        std::printf(" %9s", column.name);
    std::printf("\n");
    std::vector<int> gave(sizeof columns / sizeof columns[0]);
    const std::vector<std::string> names = TestFolderFiles("broken");
    ASSERT_GE(names.size(), 20u);
    for (const std::string& name : names) {
        if (name.size() < 4 || name.compare(name.size() - 4, 4, ".xml") != 0)
            continue;
        std::printf("%-36s", name.c_str());
        const std::string bytes = ReadTestFile("broken/" + name);
        for (size_t i = 0; i < gave.size(); ++i) {
            const Read read = ReadDocument(bytes, columns[i].repairs);
            std::printf(" %9zu", read.titles.size());
            gave[i] += read.titles.empty() ? 0 : 1;
            if (columns[i].repairs == CDocumentRepair::kAllRepairs)
                EXPECT_FALSE(read.titles.empty()) << name;
        }
        std::printf("\n");
    }
    std::printf("%-36s", "documents that gave items");
    for (const int count : gave)
        std::printf(" %9d", count);
    std::printf("\n");
}

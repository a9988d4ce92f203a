#include "feeds/CleanDescription.h"

#include "LiteralRules.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

std::string Clean(const std::string& text)
{
    CString value(text.data(), static_cast<int>(text.size()));
    CleanDescription(value);
    return std::string(value.GetString(), static_cast<size_t>(value.GetLength()));
}

// True when every backslash starts "\\", "\{", "\}" or "\par " and every brace is escaped.
bool OnlyParagraphMarksAreControlWords(const std::string& rtf)
{
    for (size_t i = 0; i < rtf.size(); ++i) {
        if (rtf[i] == '{' || rtf[i] == '}')
            return false;
        if (rtf[i] != '\\')
            continue;
        if (i + 1 < rtf.size() && (rtf[i + 1] == '\\' || rtf[i + 1] == '{' || rtf[i + 1] == '}'))
            ++i;
        else if (rtf.compare(i, 5, "\\par ") == 0)
            i += 4;
        else
            return false;
    }
    return true;
}

TEST(CleanDescription, TurnsTheExamplesIntoPlainText)
{
    EXPECT_EQ(Clean("Hello<br />World"), "Hello\\par World");
    EXPECT_EQ(Clean("<p>One</p><p>Two</p>"), "OneTwo");
    EXPECT_EQ(Clean("<P>One</P><P>Two</P>"), "OneTwo");
    EXPECT_EQ(Clean("a <b>bold</b> word"), "a bold word");
    EXPECT_EQ(Clean("<a href=x>link</a> text"), "link text");
    EXPECT_EQ(Clean("<div class=c><img src=i.png />Caption</div>"), "Caption");
    EXPECT_EQ(Clean("1 <b 2 <a> 3>"), "1 ");
    EXPECT_EQ(Clean("x < y"), "x ");
    EXPECT_EQ(Clean("Line<br>Next"), "LineNext");
    EXPECT_EQ(Clean(""), "");
    EXPECT_EQ(Clean("<p><br><img src=x><a href=y></a></p>"), "");
}

TEST(CleanDescription, MarksOnlyTheExactLineBreakTag)
{
    EXPECT_EQ(Clean("a<br/>b<BR />c<br>d<br />e"), "abcd\\par e");
    EXPECT_EQ(Clean("<br /><br />"), "\\par \\par ");
    EXPECT_EQ(Clean("x<br /"), "x");  // without its ">" the tag is removed to the end
}

TEST(CleanDescription, RemovesLinkTagsBeforeAnyOther)
{
    EXPECT_EQ(Clean("<b>x<a>y"), "xy");
    EXPECT_EQ(Clean("<b <a>>"), "");
    EXPECT_EQ(Clean("<<a>a>"), "");          // the removal makes a new "<a"
    EXPECT_EQ(Clean("<i <div> >z"), "z");
    EXPECT_EQ(Clean("keep > this"), "keep > this");
    EXPECT_EQ(Clean("tail <img src="), "tail ");
}

TEST(CleanDescription, LeavesWhiteSpaceAndOtherTextAlone)
{
    EXPECT_EQ(Clean("  two  spaces\r\n\ttab  "), "  two  spaces\r\n\ttab  ");
    EXPECT_EQ(Clean("caf\xC3\xA9 \xD0\x9F\xD1\x80\xD0\xB8 \xE6\x97\xA5\xE6\x9C\xAC"),
              "caf\xC3\xA9 \xD0\x9F\xD1\x80\xD0\xB8 \xE6\x97\xA5\xE6\x9C\xAC");
    EXPECT_EQ(Clean("&amp; &lt;"), "&amp; &lt;");
}

TEST(CleanDescription, EscapesWhatWouldBeRtfSoTheFeedCannotInjectControlWords)
{
    EXPECT_EQ(Clean("C:\\path"), "C:\\\\path");
    EXPECT_EQ(Clean("{\\rtf1 evil}"), "\\{\\\\rtf1 evil\\}");
    EXPECT_EQ(Clean("set {x}<br />next"), "set \\{x\\}\\par next");
    EXPECT_EQ(Clean("\\par fake"), "\\\\par fake");
    EXPECT_EQ(Clean("}}}{{{"), "\\}\\}\\}\\{\\{\\{");
    EXPECT_EQ(Clean("<a href=\"{x}\\y\">text</a>"), "text");
    for (const char* text : {"{\\pict\\wmetafile8 0000}", "a\\b<br />}c{", "\\", "<br />\\", "\\<br />{"})
        EXPECT_TRUE(OnlyParagraphMarksAreControlWords(Clean(text))) << text;
}

TEST(CleanDescription, FinishesOnLongHostileText)
{
    const std::string openings(1 << 20, '<');
    EXPECT_EQ(Clean(openings), "");
    std::string links;
    for (int i = 0; i < 100000; ++i)
        links += "<<a>a>";
    EXPECT_EQ(Clean(links), "");
    std::string mixed;
    for (int i = 0; i < 100000; ++i)
        mixed += "<b>x<a>{\\}<br />";
    const std::string cleaned = Clean(mixed);
    EXPECT_EQ(cleaned.find('<'), std::string::npos);
    EXPECT_TRUE(OnlyParagraphMarksAreControlWords(cleaned));
}

// Random markup from the characters the rules care about, against the rules done literally.
TEST(CleanDescription, AgreesWithTheLiteralRulesOnRandomMarkup)
{
    const std::string alphabet = "<<<>>>adivmgpPbr /\\{}x";
    std::mt19937 random(20030610);
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        const size_t length = random() % 40;
        for (size_t i = 0; i < length; ++i)
            text += alphabet[random() % alphabet.size()];
        const CString expected = LiteralCleanDescription(CString(text.c_str()));
        ASSERT_EQ(Clean(text), expected.GetString()) << "input: " << text;
    }
}

} // namespace

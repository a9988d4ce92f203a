// The item view's rich text and the balloon text, fed with titles and descriptions made to
// break out of the text into RTF control words.
#include <gtest/gtest.h>

#include <string>

#include "popup/ItemText.h"

namespace {

const std::string kHeader = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1033{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}}"
                            "{\\colortbl ;\\red160\\green0\\blue0;}{\\viewkind4\\uc1\\pard\\cf1\\b\\f0\\fs20 ";

std::string Rtf(const char* title, const char* description)
{
    return std::string(ItemRtf(title, description).GetString());
}

// The text between the header and the end, split at the title's end.
void Split(const std::string& rtf, std::string& title, std::string& description)
{
    ASSERT_EQ(rtf.compare(0, kHeader.size(), kHeader), 0) << rtf;
    ASSERT_GE(rtf.size(), kHeader.size() + 5);
    ASSERT_EQ(rtf.substr(rtf.size() - 5), "\\par}");
    const std::string body = rtf.substr(kHeader.size(), rtf.size() - kHeader.size() - 5);
    const size_t split = body.find("\\b0 \\par\r\n");
    ASSERT_NE(split, std::string::npos) << rtf;
    title = body.substr(0, split);
    description = body.substr(split + 10);
}

// True when the text holds a backslash that starts a control word or symbol other than the
// escapes the builder writes on purpose.
std::string ForeignControlWord(const std::string& text)
{
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\')
            continue;
        const std::string rest = text.substr(i);
        if (rest.compare(0, 2, "\\\\") == 0 || rest.compare(0, 2, "\\{") == 0 || rest.compare(0, 2, "\\}") == 0) {
            ++i;
            continue;
        }
        if (rest.compare(0, 5, "\\par ") == 0 || rest.compare(0, 5, "\\tab ") == 0 || rest.compare(0, 2, "\\u") == 0)
            continue;
        return rest.substr(0, 12);
    }
    return "";
}

} // namespace

TEST(ItemRtf, IsBuiltFromHeaderTitleDescriptionAndEnd)
{
    EXPECT_EQ(Rtf("Storm warning", "Wind up to 90 km/h.\\par Stay inside."),
              kHeader + "Storm warning\\b0 \\par\r\nWind up to 90 km/h.\\par Stay inside.\\par}");
    EXPECT_EQ(Rtf("", ""), kHeader + "\\b0 \\par\r\n\\par}");
}

TEST(ItemRtf, EscapesTitleAndKeepsTheDescriptionsOwnEscapes)
{
    // The title is plain text; the description arrives escaped by the item clean-up.
    EXPECT_EQ(Rtf("a\\b {c}", "x \\\\ \\{y\\}"), kHeader + "a\\\\b \\{c\\}\\b0 \\par\r\nx \\\\ \\{y\\}\\par}");
}

TEST(ItemRtf, NoFeedTextBecomesAControlWord)
{
    const char* attacks[] = {
        "}{\\object\\objemb{\\*\\objdata 0105}}",
        "{\\field{\\*\\fldinst HYPERLINK \"file:///c:/x.exe\"}{\\fldrslt click}}",
        "\\pict\\wmetafile8 0100",
        "\\par}{\\rtf1 injected",
        "trailing backslash \\",
        "\\u1234? fake escape and \\'e9 hex",
        "\\\\\\object",
        "\\par\\object",
    };
    for (const char* attack : attacks) {
        std::string title, description;
        Split(Rtf(attack, attack), title, description);
        EXPECT_EQ(ForeignControlWord(title), "") << attack;
        EXPECT_EQ(ForeignControlWord(description), "") << attack;
        // Every brace of the text is escaped: the groups stay as the header opens them.
        for (const std::string* part : {&title, &description})
            for (size_t i = 0; i < part->size(); ++i)
                if ((*part)[i] == '{' || (*part)[i] == '}')
                    EXPECT_TRUE(i > 0 && (*part)[i - 1] == '\\') << attack;
    }
}

TEST(ItemRtf, WritesUnicodeEscapesAndBlanksControlCharacters)
{
    // ö (U+00F6), 滿 (U+6EFF), Ａ (U+FF21) above 32767 a negative number, 😀 (U+1F600) a surrogate pair.
    EXPECT_EQ(Rtf("\xC3\xB6 \xE6\xBB\xBF \xEF\xBC\xA1 \xF0\x9F\x98\x80", ""),
              kHeader + "\\u246? \\u28415? \\u-223? \\u-10179?\\u-8704?\\b0 \\par\r\n\\par}");
    EXPECT_EQ(Rtf("a\rb\nc\td\x01" "e\x7f", "x\r\ny"), kHeader + "a b c\\tab d e \\b0 \\par\r\nx  y\\par}");
    // Malformed UTF-8 (a stray continuation byte, a cut sequence, an overlong form) shows as U+FFFD.
    EXPECT_EQ(Rtf("\x80|\xE6\xBB|\xC0\xAF", ""),
              kHeader + "\\u-3?|\\u-3?\\u-3?|\\u-3?\\u-3?\\b0 \\par\r\n\\par}");
}

TEST(NoFeedsRtf, NamesTheServiceDomain)
{
    EXPECT_EQ(std::string(NoFeedsRtf("lullcast.example").GetString()),
              kHeader + "No feeds have been found in this channel\\b0 \\par\r\n"
                        "Go to lullcast.example to learn how to add feeds\\par}");
}

TEST(BalloonTextOf, DropsLineBreaksUnescapesAndCutsWhole)
{
    EXPECT_EQ(std::string(BalloonTextOf("One.\\par Two.\\par \\par Three")), "One.Two.Three");
    EXPECT_EQ(std::string(BalloonTextOf("a \\\\ b \\{c\\} \\\\par d")), "a \\ b {c} \\par d");
    EXPECT_EQ(std::string(BalloonTextOf("")), "");

    const std::string ascii(300, 'x');
    EXPECT_EQ(std::string(BalloonTextOf(ascii.c_str())), std::string(255, 'x'));
    // 254 bytes and then a two-byte character: the character does not fit and is left out whole.
    const std::string twoByte = std::string(254, 'y') + "\xC3\xB6" + "zz";
    EXPECT_EQ(std::string(BalloonTextOf(twoByte.c_str())), std::string(254, 'y'));
    // The cut counts the text as it ends up, after the escapes are gone.
    const std::string escaped = std::string(200, 'e') + std::string(120, '\\');
    EXPECT_EQ(std::string(BalloonTextOf(escaped.c_str())), std::string(200, 'e') + std::string(55, '\\'));
}

TEST(ItemText, RecolouringChangesOnlyTheColourTableOfTheItemsOwnText)
{
    const CString rtf = ItemRtf("Title", "Text");
    const CString white = RecolouredRtf(rtf, 0x00FFFFFFul);
    EXPECT_NE(std::string(white).find("{\\colortbl ;\\red255\\green255\\blue255;}"), std::string::npos);
    EXPECT_EQ(std::string(white).find("\\red160"), std::string::npos);
    EXPECT_EQ(std::string(white).size() - std::string(rtf).size(), std::string("255255255").size() - std::string("16000").size());
    EXPECT_EQ(std::string(RecolouredRtf(rtf, 0x000000A0ul)), std::string(rtf)) << "the same colour, the same text";
    // Blue in the high byte: COLORREF order.
    EXPECT_NE(std::string(RecolouredRtf(rtf, 0x00FF0000ul)).find("\\red0\\green0\\blue255;"), std::string::npos);
    EXPECT_EQ(std::string(RecolouredRtf("{\\rtf1 other}", 0)), "{\\rtf1 other}") << "text of another maker";
    EXPECT_EQ(std::string(RecolouredRtf(AllMutedRtf(), 0xFFFFFFul)).find("\\red160"), std::string::npos);
}

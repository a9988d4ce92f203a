// What a document's bytes mean: the encoding it shows or names, and its text made UTF-8.
#include "feeds/TextEncoding.h"

#include <gtest/gtest.h>

#include <string>

TEST(TextEncoding, FindsTheDeclarationAsAParserDoesOrAfterJunk)
{
    EXPECT_EQ(DeclaredEncoding("<?xml version=\"1.0\" encoding=\"Big5\"?><r/>", false), "big5");
    EXPECT_EQ(DeclaredEncoding("\xEF\xBB\xBF<?xml version='1.0' encoding = 'EUC-KR' ?><r/>", false), "euc-kr");
    EXPECT_EQ(DeclaredEncoding("<?xml version=\"1.0\"?><r encoding=\"big5\"/>", false), "");
    EXPECT_EQ(DeclaredEncoding("<?xml-stylesheet href=\"x\"?><r/>", false), "");
    // Junk first: only when asked, and not when a feed's root comes before.
    const std::string junk = "<br />\n<b>Warning</b>: x<br />\n<?xml version=\"1.0\" encoding=\"gb2312\"?><rss/>";
    EXPECT_EQ(DeclaredEncoding(junk, false), "");
    EXPECT_EQ(DeclaredEncoding(junk, true), "gb2312");
    EXPECT_EQ(DeclaredEncoding("<rss><![CDATA[<?xml version=\"1.0\" encoding=\"utf-7\"?>]]></rss>", true), "");
}

TEST(TextEncoding, KnowsTheCodePagesAndWhichShowTheirMarkupAsAscii)
{
    EXPECT_EQ(CodePageOfEncoding("big5"), 950u);
    EXPECT_EQ(CodePageOfEncoding("EUC-KR"), 949u);
    EXPECT_EQ(CodePageOfEncoding("GB2312"), 936u);
    EXPECT_EQ(CodePageOfEncoding("Shift_JIS"), 932u);
    EXPECT_EQ(CodePageOfEncoding("windows-1251"), 1251u);
    EXPECT_EQ(CodePageOfEncoding("ISO_8859-2"), 28592u);
    EXPECT_EQ(CodePageOfEncoding("iso-8859-1"), 1252u); // read as its superset, as browsers do
    EXPECT_EQ(CodePageOfEncoding("cp866"), 866u);
    EXPECT_EQ(CodePageOfEncoding("x-western-legacy"), 0u);
    EXPECT_EQ(CodePageOfEncoding("windows-12345678"), 0u);
    for (const char* compatible : {"utf-8", "big5", "euc-kr", "shift_jis", "koi8-r", "windows-874", "utf-16"})
        EXPECT_TRUE(IsAsciiCompatible(compatible)) << compatible;
    for (const char* hiding : {"utf-7", "iso-2022-jp", "hz-gb-2312", "ibm037", "x-western-legacy", ""})
        EXPECT_FALSE(IsAsciiCompatible(hiding)) << hiding;
}

TEST(TextEncoding, DetectsWideDocumentsAndMakesThemUtf8)
{
    EXPECT_EQ(DetectByteForm(std::string("\xFF\xFE<\0r\0", 6)), ByteForm::kUtf16LE);
    EXPECT_EQ(DetectByteForm(std::string("\0<\0r", 4)), ByteForm::kUtf16BE);
    EXPECT_EQ(DetectByteForm(std::string("<\0\0\0", 4)), ByteForm::kUtf32LE);
    EXPECT_EQ(DetectByteForm("\xEF\xBB\xBF<r/>"), ByteForm::kEightBit);
    EXPECT_EQ(DetectByteForm("\x4C\x6F\xA7\x94"), ByteForm::kEbcdic);
    // A surrogate pair, a lone surrogate and an odd last byte.
    EXPECT_EQ(WideToUtf8(std::string("\xFE\xFF\0<\xD8\x3D\xDE\x00\xDC\x00\0>\0", 13), ByteForm::kUtf16BE),
              "<\xF0\x9F\x98\x80\xEF\xBF\xBD>");
    EXPECT_EQ(WideToUtf8(std::string("\xFF\xFE\0\0\xE9\0\0\0", 8), ByteForm::kUtf32LE), "\xC3\xA9");
}

TEST(TextEncoding, MendsWindows1252TextInUtf8)
{
    EXPECT_TRUE(IsValidUtf8("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"));
    for (const char* invalid : {"caf\xE9", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE2\x82"})
        EXPECT_FALSE(IsValidUtf8(invalid)) << invalid;
    // Valid sequences stay; each other byte is windows-1252.
    EXPECT_EQ(MendUtf8("caf\xE9 \xC3\xA9 \x93q\x94 \x80 \x81"), "caf\xC3\xA9 \xC3\xA9 \xE2\x80\x9Cq\xE2\x80\x9D \xE2\x82\xAC \xC2\x81");
    EXPECT_EQ(Windows1252ToUtf8("\xE9\x92\xC3\xA9"), "\xC3\xA9\xE2\x80\x99\xC3\x83\xC2\xA9");
    EXPECT_EQ(DeclareUtf8("<?xml version=\"1.0\" encoding=\"big5\"?><r/>"), "<?xml version=\"1.0\" encoding=\"utf-8\"?><r/>");
    EXPECT_EQ(DeclareUtf8("<?xml version=\"1.0\"?><r/>"), "<?xml version=\"1.0\"?><r/>");
}

TEST(TextEncoding, ChoosesHowADocumentThatDidNotParseIsRead)
{
    const auto kind = [](const std::string& bytes) { return ChooseDecoding(bytes).kind; };
    EXPECT_EQ(kind("<?xml version=\"1.0\" encoding=\"utf-8\"?><r>caf\xC3\xA9</r>"), Decoding::kNone);
    EXPECT_EQ(kind("<r>caf\xE9</r>"), Decoding::kMendUtf8); // assumed UTF-8
    EXPECT_EQ(kind("<?xml version=\"1.0\" encoding=\"utf-8\"?><r>caf\xE9</r>"), Decoding::kMendUtf8);
    EXPECT_EQ(kind("<?xml version=\"1.0\" encoding=\"us-ascii\"?><r>caf\xC3\xA9</r>"), Decoding::kMendUtf8);
    EXPECT_EQ(kind("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r/>"), Decoding::kWindows1252);
    EXPECT_EQ(kind("<?xml version=\"1.0\" encoding=\"x-western-legacy\"?><r/>"), Decoding::kWindows1252);
    EXPECT_EQ(kind(std::string("\xFF\xFE<\0r\0/\0>\0", 10)), Decoding::kWide);
    const Decoding big5 = ChooseDecoding("\n<?xml version=\"1.0\" encoding=\"big5\"?><r/>");
    EXPECT_EQ(big5.kind, Decoding::kCodePage);
    EXPECT_EQ(big5.codePage, 950u);
    // Converted by the system when it can, as windows-1252 when it cannot; declared UTF-8 after.
    const std::string converted = "<?xml version=\"1.0\" encoding=\"big5\"?><r>\xE6\x96\xB0</r>";
    EXPECT_EQ(DecodeToUtf8("ignored", big5, &converted), "<?xml version=\"1.0\" encoding=\"utf-8\"?><r>\xE6\x96\xB0</r>");
    EXPECT_EQ(DecodeToUtf8("<?xml version=\"1.0\" encoding=\"big5\"?><r>\xB7\x73</r>", big5, nullptr),
              "<?xml version=\"1.0\" encoding=\"utf-8\"?><r>\xC2\xB7s</r>");
}

TEST(TextEncoding, ReadsIso2022JpAsEucJp)
{
    const Decoding decoding = ChooseDecoding("<?xml version=\"1.0\" encoding=\"ISO-2022-JP\"?><r/>");
    EXPECT_EQ(decoding.kind, Decoding::kCodePage);
    EXPECT_EQ(decoding.codePage, 20932u);
    EXPECT_TRUE(decoding.fromIso2022Jp);
    // "<t>" in ASCII, two kanji, a line end back in ASCII, half-width katakana, a supplementary
    // kanji, an escape not known; a lone byte of a pair at the end is dropped.
    EXPECT_EQ(Iso2022JpToEucJp("<t>\x1B$B:#F|\n<\x1B(I1\x1B(B>\x1B$(D0!\x1B(B\x1B%G\x1B$B!"),
              "<t>\xBA\xA3\xC6\xFC\n<\x8E\xB1>\x8F\xB0\xA1\x1B%G");
    EXPECT_EQ(CodePageInput("a\x1B$B$\"", decoding), "a\xA4\xA2");
}

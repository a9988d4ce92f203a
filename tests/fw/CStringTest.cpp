#include "fw/CString.h"

#include <gtest/gtest.h>

#include <string>

TEST(CString, CopiesShareTextUntilOneChanges)
{
    CString original("headline");
    CString copy(original);
    EXPECT_EQ(original.GetString(), copy.GetString());

    copy += " news";
    EXPECT_STREQ("headline", original);
    EXPECT_STREQ("headline news", copy);

    CString third = copy;
    third.Replace("news", "sport");
    EXPECT_STREQ("headline news", copy);
    EXPECT_STREQ("headline sport", third);

    CString fourth = third;
    fourth.Delete(0, 9);
    EXPECT_STREQ("headline sport", third);
    EXPECT_STREQ("sport", fourth);
}

TEST(CString, AppendingToItselfAndItsOwnTail)
{
    CString text("ab");
    std::string expected("ab");
    text += text;
    expected += expected;
    for (int i = 0; i < 10; ++i) {
        text += text.GetString() + 1; // a pointer into our own buffer, which moves as it grows
        expected += expected.substr(1);
    }
    EXPECT_EQ(expected, std::string(text.GetString()));
    EXPECT_EQ(static_cast<int>(expected.size()), text.GetLength());
}

TEST(CString, ReplaceScansLeftToRightWithoutRescanning)
{
    CString text("aaaa");
    EXPECT_EQ(2, text.Replace("aa", "a"));
    EXPECT_STREQ("aa", text);

    CString grow("x<br />y<br />");
    EXPECT_EQ(2, grow.Replace("<br />", "\\par <br />"));
    EXPECT_STREQ("x\\par <br />y\\par <br />", grow);

    CString none("plain");
    EXPECT_EQ(0, none.Replace("", "z"));
    EXPECT_EQ(0, none.Replace("q", "z"));
    EXPECT_STREQ("plain", none);

    CString empty;
    EXPECT_EQ(0, empty.Replace("a", "b"));
}

TEST(CString, BoundsAreClampedNotOverrun)
{
    CString text("abc");
    EXPECT_STREQ("", text.Left(-1));
    EXPECT_STREQ("abc", text.Left(99));
    EXPECT_STREQ("c", text.Mid(2));
    EXPECT_STREQ("", text.Mid(3));
    EXPECT_STREQ("", text.Mid(99, 2));
    EXPECT_STREQ("ab", text.Mid(-5, 2));
    EXPECT_EQ('\0', text.GetAt(3));
    EXPECT_EQ('\0', text.GetAt(-1));
    EXPECT_EQ(3, text.Delete(5, 1));
    EXPECT_EQ(1, text.Delete(1, 100));
    EXPECT_STREQ("a", text);
}

TEST(CString, FindAndReverseFind)
{
    CString text("a\\b\\c");
    EXPECT_EQ(1, text.Find('\\'));
    EXPECT_EQ(3, text.Find('\\', 2));
    EXPECT_EQ(3, text.ReverseFind('\\'));
    EXPECT_EQ(-1, text.ReverseFind('x'));
    EXPECT_EQ(2, text.Find("b\\c"));
    EXPECT_EQ(-1, text.Find("c", 99));
    EXPECT_EQ(-1, CString().Find("a"));
}

TEST(CString, FormatAnyLength)
{
    CString text;
    text.Format("Failed to download %s", "http://127.0.0.1/feed.xml");
    EXPECT_STREQ("Failed to download http://127.0.0.1/feed.xml", text);

    const std::string big(100000, 'x');
    text.Format("[%s]", big.c_str());
    EXPECT_EQ(100002, text.GetLength());

    text.Format("%s", "");
    EXPECT_TRUE(text.IsEmpty());
}

TEST(CString, BufferAccessForApiCalls)
{
    CString text;
    char* buffer = text.GetBufferSetLength(10);
    std::snprintf(buffer, 11, "%s", "abc");
    text.ReleaseBuffer();
    EXPECT_EQ(3, text.GetLength());
    EXPECT_STREQ("abc", text);

    CString shared(text);
    buffer = shared.GetBufferSetLength(3);
    buffer[0] = 'X';
    shared.ReleaseBuffer(3);
    EXPECT_STREQ("abc", text);
    EXPECT_STREQ("Xbc", shared);

    // A shared string asked for fewer characters than it holds keeps what fits, and its copy
    // keeps the whole.
    CString longer("a longer headline");
    CString sharing(longer);
    buffer = sharing.GetBufferSetLength(3);
    EXPECT_EQ(std::string("a l"), std::string(buffer));
    buffer[2] = 'L';
    sharing.ReleaseBuffer();
    EXPECT_STREQ("a L", sharing);
    EXPECT_STREQ("a longer headline", longer);
    CString alone("unshared text");
    alone.GetBufferSetLength(4);
    alone.ReleaseBuffer();
    EXPECT_STREQ("unsh", alone);
}

TEST(CString, AssignedToItselfKeepsItsText)
{
    CString text("headline");
    CString& same = text;
    text = same;
    EXPECT_STREQ("headline", text);
    CString copy(text);
    text = same; // shared with another
    text = static_cast<CString&&>(same);
    EXPECT_STREQ("headline", text);
    EXPECT_STREQ("headline", copy);
    CString empty;
    CString& alsoEmpty = empty;
    empty = alsoEmpty;
    EXPECT_TRUE(empty.IsEmpty());
}

TEST(CString, ComparesByteForByte)
{
    EXPECT_TRUE(CString("Title") == "Title");
    EXPECT_FALSE(CString("Title") == "title");
    EXPECT_FALSE(CString("a") == CString("a\xC3"));
    EXPECT_TRUE(CString() == "");
    EXPECT_TRUE(CString(nullptr) == CString(""));
    EXPECT_TRUE(CString("x") != CString("y"));
}

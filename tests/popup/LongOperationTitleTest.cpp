#include "popup/LongOperationTitle.h"

#include <gtest/gtest.h>

#include <string>

namespace {
std::string Shown(const char16_t* title)
{
    std::string out;
    for (; title && *title; ++title)
        out += *title < 0x80 ? static_cast<char>(*title) : '?';
    return out;
}
}

TEST(LongOperationTitle, TitlesThatAnnounceALongOperation)
{
    for (const char16_t* title : {u"Copying...", u"Printing", u"Time remaining: 2 minutes", u"7% of report.pdf",
                                  u"42% complete", u"Download Progress", u"x% y", u"ab% ", u"Printing 100% complete"})
        EXPECT_TRUE(IsLongOperationTitle(title)) << Shown(title);
}

TEST(LongOperationTitle, TitlesThatDoNot)
{
    for (const char16_t* title : {u"copying files", u"Remaining time", u"100% complete", u"5%", u"", u"%", u"7%",
                                  u"42%", u"7%x", u"% 5", u"PROGRESS", u"Notepad"})
        EXPECT_FALSE(IsLongOperationTitle(title)) << '"' << Shown(title) << '"';
    EXPECT_FALSE(IsLongOperationTitle(nullptr));
}

TEST(LongOperationTitle, PlacesCountCharactersNotBytesOrUnits)
{
    // Letters outside ASCII take more than one byte in UTF-8 but are one character each; a
    // character beyond the basic plane is a surrogate pair and still one character.
    for (const char16_t* title : {u"\u00fc5% done", u"\u00e4% fertig", u"\u4e2d\u6587% \u5b8c\u6210",
                                  u"\U0001F4C4% copied", u"\U0001F4C4\U0001F4C4% copied", u"\U0001F4C47% x"})
        EXPECT_TRUE(IsLongOperationTitle(title)) << Shown(title);
    for (const char16_t* title : {u"\u00fc\u00fc5% done", u"\U0001F4C4\U0001F4C4\U0001F4C4% x",
                                  u"\U0001F4C4\U0001F4C47% x", u"\u00fc5%", u"\u00fc5%\u00a0done"})
        EXPECT_FALSE(IsLongOperationTitle(title)) << Shown(title);
    // A lone surrogate is a character of its own.
    const char16_t lone[] = {0xD83D, u'%', u' ', u'x', 0};
    EXPECT_TRUE(IsLongOperationTitle(lone));
    const char16_t loneLow[] = {0xDCC4, 0xDCC4, 0xDCC4, u'%', u' ', 0};
    EXPECT_FALSE(IsLongOperationTitle(loneLow));
}

TEST(LongOperationTitle, OnlyTheTextBeforeTheBufferEndCounts)
{
    // The popup reads at most 1023 UTF-16 units; a word beyond them is never seen.
    std::u16string title(1023, u'.');
    EXPECT_FALSE(IsLongOperationTitle(title.c_str()));
    title.replace(1016, 7, u"Copying");
    EXPECT_TRUE(IsLongOperationTitle(title.c_str()));
}

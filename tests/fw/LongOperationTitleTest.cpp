#include "popup/LongOperationTitle.h"

#include <gtest/gtest.h>

#include <string>

TEST(LongOperationTitle, TitlesThatAnnounceALongOperation)
{
    for (const char* title : {"Copying...", "Printing", "Time remaining: 2 minutes", "7% of report.pdf",
                              "42% complete", "Download Progress", "x% y", "ab% ", "Printing 100% complete"})
        EXPECT_TRUE(IsLongOperationTitle(title)) << title;
}

TEST(LongOperationTitle, TitlesThatDoNot)
{
    for (const char* title : {"copying files", "Remaining time", "100% complete", "5%", "", "%", "7%", "42%",
                              "7%x", "% 5", "PROGRESS", "Notepad"})
        EXPECT_FALSE(IsLongOperationTitle(title)) << '"' << title << '"';
    EXPECT_FALSE(IsLongOperationTitle(nullptr));
}

TEST(LongOperationTitle, OnlyTheTextBeforeTheBufferEndCounts)
{
    // The popup reads at most 1023 characters; a word beyond them is never seen.
    std::string title(1023, '.');
    EXPECT_FALSE(IsLongOperationTitle(title.c_str()));
    title.replace(1016, 7, "Copying");
    EXPECT_TRUE(IsLongOperationTitle(title.c_str()));
}

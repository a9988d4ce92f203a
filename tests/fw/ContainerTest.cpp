#include "fw/CArray.h"
#include "fw/CStringArray.h"

#include <gtest/gtest.h>

TEST(CStringArray, ReadsAndWritesOutsideTheListAreHarmless)
{
    CStringArray list;
    EXPECT_STREQ("", list.GetAt(0));
    EXPECT_STREQ("", list[-1]);
    list.SetAt(0, "ignored");
    list.RemoveAt(3);
    list.InsertAt(5, "ignored");
    EXPECT_EQ(0, list.GetSize());

    list.Add("b");
    list.InsertAt(0, "a");
    list.InsertAt(2, "c");
    ASSERT_EQ(3, list.GetSize());
    EXPECT_STREQ("a", list[0]);
    EXPECT_STREQ("c", list[2]);

    CStringArray copy;
    copy.Copy(list);
    list.RemoveAt(1);
    EXPECT_EQ(3, copy.GetSize());
    EXPECT_STREQ("b", copy[1]);
}

TEST(CArray, IndexOutsideIsRefusedAndInsertAtSizeAppends)
{
    CArray<int, int> items;
    EXPECT_THROW(items.GetAt(0), std::invalid_argument);
    items.InsertAt(0, 2);
    items.InsertAt(1, 3); // at the size: appends
    items.InsertAt(0, 1);
    ASSERT_EQ(3, items.GetSize());
    EXPECT_EQ(1, items[0]);
    EXPECT_EQ(3, items[2]);
    EXPECT_THROW(items[3], std::invalid_argument);
    EXPECT_THROW(items[-1], std::invalid_argument);
    EXPECT_THROW(items.InsertAt(5, 9), std::invalid_argument);
    items.RemoveAll();
    EXPECT_EQ(0, items.GetSize());
}

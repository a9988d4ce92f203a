#include "popup/ChannelMenu.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

// One line per entry: "id text" with " *" for a check mark; "-" for a separator.
Lines Menu(int channels, int preferred)
{
    Lines lines;
    for (const ChannelMenuEntry& entry : ChannelMenuEntries(channels, preferred))
        lines.push_back(entry.text ? std::to_string(entry.id) + " " + entry.text + (entry.checked ? " *" : "") : "-");
    return lines;
}

const Lines kTail = {"-", "254 My Feeds", "-", "255 Lullcast Settings"};

Lines With(Lines head, const Lines& tail = kTail)
{
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

} // namespace

TEST(ChannelMenu, OffersTheChannelsOfBitsZeroToSevenWithTheChosenOneChecked)
{
    EXPECT_EQ(Menu(0xFFFF, 4), With({"1 News", "2 Sports", "3 Entertainment", "4 Technology",
                                     "5 Business && Finance *", "6 Health", "7 Travel", "8 Politics"}));
    EXPECT_EQ(Menu(static_cast<int>(0x80000081u), 7), With({"1 News", "8 Politics *"}));
    EXPECT_EQ(Menu(0, 0), kTail);
    EXPECT_EQ(Menu(0xFF00, -1), With({}, {"-", "254 My Feeds *", "-", "255 Lullcast Settings"}));
    // A chosen channel whose bit is clear shows no check anywhere.
    EXPECT_EQ(Menu(0x24, 3), With({"3 Entertainment", "6 Health"}));
}

TEST(ChannelMenu, WhatEachAnswerDoes)
{
    using Choice = ChannelMenuChoice;
    auto is = [](Choice choice, Choice::Action action, int channel) {
        return choice.action == action && choice.channel == channel;
    };
    EXPECT_TRUE(is(ChooseFromChannelMenu(0, 3), Choice::Nothing, 3)); // dismissed
    for (unsigned id = 1; id <= 8; ++id)
        EXPECT_TRUE(is(ChooseFromChannelMenu(id, -1), Choice::SwitchChannel, static_cast<int>(id) - 1)) << id;
    EXPECT_TRUE(is(ChooseFromChannelMenu(3, 2), Choice::SwitchChannel, 2)); // the chosen one again
    EXPECT_TRUE(is(ChooseFromChannelMenu(254, 5), Choice::SwitchChannel, -1));
    EXPECT_TRUE(is(ChooseFromChannelMenu(255, 5), Choice::OpenSettings, 5));
    for (unsigned id : {9u, 253u, 256u, 0xFFFFFFFFu})
        EXPECT_TRUE(is(ChooseFromChannelMenu(id, 6), Choice::Nothing, 6)) << id;
}

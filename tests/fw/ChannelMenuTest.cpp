#include "popup/ChannelMenu.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// One line per entry: "id text" with a "*" for a check mark, "-" for a separator.
std::vector<std::string> Lines(int channels, int preferred)
{
    std::vector<std::string> lines;
    for (const ChannelMenuEntry& entry : ChannelMenuEntries(channels, preferred)) {
        if (!entry.text) {
            EXPECT_EQ(entry.id, 0u);
            lines.push_back("-");
        } else {
            lines.push_back(std::to_string(entry.id) + " " + entry.text + (entry.checked ? " *" : ""));
        }
    }
    return lines;
}

using Lines_ = std::vector<std::string>;

} // namespace

TEST(ChannelMenu, AllChannelsInOrderWithTheChosenOneChecked)
{
    EXPECT_EQ(Lines(0xFFFF, 4), (Lines_{"1 News", "2 Sports", "3 Entertainment", "4 Technology",
                                        "5 Business && Finance *", "6 Health", "7 Travel", "8 Politics", "-",
                                        "254 My Feeds", "-", "255 Lullcast Settings"}));
}

TEST(ChannelMenu, NoChannelsLeavesTheSeparatorsMyFeedsAndSettings)
{
    EXPECT_EQ(Lines(0, 0), (Lines_{"-", "254 My Feeds", "-", "255 Lullcast Settings"}));
    EXPECT_EQ(Lines(0, -1), (Lines_{"-", "254 My Feeds *", "-", "255 Lullcast Settings"}));
}

TEST(ChannelMenu, OnlyBitsZeroToSevenOfferAChannel)
{
    EXPECT_EQ(Lines(0xFF00, 0), (Lines_{"-", "254 My Feeds", "-", "255 Lullcast Settings"}));
    EXPECT_EQ(Lines(static_cast<int>(0x80000081u), 7),
              (Lines_{"1 News", "8 Politics *", "-", "254 My Feeds", "-", "255 Lullcast Settings"}));
}

TEST(ChannelMenu, AChosenChannelWhoseBitIsClearShowsNoCheckAnywhere)
{
    EXPECT_EQ(Lines(0x24, 3), (Lines_{"3 Entertainment", "6 Health", "-", "254 My Feeds", "-",
                                      "255 Lullcast Settings"}));
}

TEST(ChannelMenu, WhatEachAnswerDoes)
{
    // Dismissed: the chosen channel stays, even one the menu did not offer.
    ChannelMenuChoice choice = ChooseFromChannelMenu(0, 3);
    EXPECT_EQ(choice.action, ChannelMenuChoice::Nothing);
    EXPECT_EQ(choice.channel, 3);

    for (unsigned id = 1; id <= 8; ++id) {
        choice = ChooseFromChannelMenu(id, -1);
        EXPECT_EQ(choice.action, ChannelMenuChoice::SwitchChannel);
        EXPECT_EQ(choice.channel, static_cast<int>(id) - 1);
    }
    // The chosen channel again is still a switch: the feeds are loaded anew.
    choice = ChooseFromChannelMenu(3, 2);
    EXPECT_EQ(choice.action, ChannelMenuChoice::SwitchChannel);
    EXPECT_EQ(choice.channel, 2);

    choice = ChooseFromChannelMenu(254, 5);
    EXPECT_EQ(choice.action, ChannelMenuChoice::SwitchChannel);
    EXPECT_EQ(choice.channel, -1);

    choice = ChooseFromChannelMenu(255, 5);
    EXPECT_EQ(choice.action, ChannelMenuChoice::OpenSettings);
    EXPECT_EQ(choice.channel, 5);

    for (unsigned id : {9u, 253u, 256u, 0xFFFFFFFFu}) {
        choice = ChooseFromChannelMenu(id, 6);
        EXPECT_EQ(choice.action, ChannelMenuChoice::Nothing) << id;
        EXPECT_EQ(choice.channel, 6);
    }
}

// The channel menu of the popup: what it holds for the current settings, and what a choice
// from it means. Built anew at each click.
#pragma once
#include <vector>

const unsigned kMyFeedsItem = 254;
const unsigned kSettingsItem = 255;

struct ChannelMenuEntry {
    unsigned id;      // 0 for a separator
    const char* text; // null for a separator
    bool checked;
};

// The channels whose bits are set in the mask (bits 0 to 7 only), each checked when it is the
// chosen one, then a separator, "My Feeds", a separator and "Lullcast Settings".
std::vector<ChannelMenuEntry> ChannelMenuEntries(int channels, int preferredChannel);

struct ChannelMenuChoice {
    enum Action { Nothing, OpenSettings, SwitchChannel } action;
    int channel; // the chosen channel afterwards (changed only by SwitchChannel)
};

// What the menu's answer (0 when it was dismissed) does to the chosen channel.
ChannelMenuChoice ChooseFromChannelMenu(unsigned result, int preferredChannel);

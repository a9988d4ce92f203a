#include "popup/ChannelMenu.h"

#include "settings/CSettings.h"

namespace {

// Ampersands are doubled: a menu shows "&&" as one.
const char* const kChannelNames[] = {"News",   "Sports", "Entertainment", "Technology", "Business && Finance",
                                     "Health", "Travel", "Politics"};
static_assert(sizeof kChannelNames / sizeof kChannelNames[0] == CSettings::kChannelCount, "a name for each channel");

} // namespace

std::vector<ChannelMenuEntry> ChannelMenuEntries(int channels, int preferredChannel)
{
    std::vector<ChannelMenuEntry> entries;
    for (int i = 0; i < CSettings::kChannelCount; ++i) {
        if ((static_cast<unsigned>(channels) >> i) & 1u)
            entries.push_back({static_cast<unsigned>(i + 1), kChannelNames[i], i == preferredChannel});
    }
    entries.push_back({0, nullptr, false});
    entries.push_back({kMyFeedsItem, "My Feeds", preferredChannel == CSettings::kMyFeedsChannel});
    entries.push_back({0, nullptr, false});
    entries.push_back({kSettingsItem, "Lullcast Settings", false});
    return entries;
}

ChannelMenuChoice ChooseFromChannelMenu(unsigned result, int preferredChannel)
{
    if (result == kSettingsItem)
        return {ChannelMenuChoice::OpenSettings, preferredChannel};
    if (result == kMyFeedsItem)
        return {ChannelMenuChoice::SwitchChannel, CSettings::kMyFeedsChannel};
    if (result >= 1 && result <= static_cast<unsigned>(CSettings::kChannelCount))
        return {ChannelMenuChoice::SwitchChannel, static_cast<int>(result) - 1};
    return {ChannelMenuChoice::Nothing, preferredChannel};
}

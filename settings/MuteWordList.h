// The words or phrases that hide items, as the settings dialog's box holds them: one a line.
#pragma once
#include <string>
#include <vector>

// The lines of the box, blanks around them trimmed, empty lines and repeats left out, each cut
// to CSettings::kMaxMuteWordLength characters and no more than CSettings::kMaxMuteWords of them.
std::vector<std::string> MuteWordsFromText(const std::string& text);
// The words as the box shows them.
std::string MuteWordsText(const std::vector<std::string>& words);

// Feeds arbitrary text to the mute word list and the matcher: nothing may crash, the list keeps
// its bounds, and a word taken from an item's own text always hides it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "popup/MutedItems.h"
#include "settings/CSettings.h"
#include "settings/MuteWordList.h"
#include "tests/FuzzCheck.h"

namespace {

std::size_t Utf8Length(const std::string& text)
{
    std::size_t characters = 0;
    for (char c : text)
        characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return characters;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> words = MuteWordsFromText(bytes);
    Check(words.size() <= static_cast<std::size_t>(CSettings::kMaxMuteWords), "no more words than the bound");
    for (const std::string& word : words) {
        Check(!word.empty(), "no empty word");
        Check(Utf8Length(word) <= static_cast<std::size_t>(CSettings::kMaxMuteWordLength), "no word past the bound");
        Check(word.find('\n') == std::string::npos, "one line a word");
    }
    Check(MuteWordsFromText(MuteWordsText(words)) == words, "the box gives back its words");

    // The same bytes as UTF-16 text: a title, a description and words cut from them.
    std::wstring text;
    for (std::size_t i = 0; i + 1 < size; i += 2)
        text.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
    const std::wstring title = text.substr(0, text.size() / 2), description = text.substr(text.size() / 2);
    Check(FoldedForMatching(text).size() == text.size(), "folding keeps the length");
    if (!description.empty()) {
        const std::wstring word = description.substr(description.size() / 3, 1 + description.size() / 4);
        Check(IsMuted(title, description, {word}, FoldedContains), "a word of the description hides its item");
    }
    return 0;
}

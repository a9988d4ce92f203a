#include "popup/MutedItems.h"

namespace {

// The base letter of U+00C0 to U+017F, lower case; '.' where the character has none.
const char kLatinBase[] =
    "aaaaaa.ceeeeiiii.nooooo..uuuuy..aaaaaa.ceeeeiiii.nooooo..uuuuy.yaaaaaaccccccccdd..eeeeeeeeeegggggggghh..iiiiiiiii...jjkk.llllll....nnnnnn...oooooo..rrrrrrsssssssstttt..uuuuuuuuuuuuwwyyyzzzzzz.";

// Upper to lower case for ASCII and the two Latin blocks above it.
wchar_t LowerCase(wchar_t c)
{
    if (c >= L'A' && c <= L'Z')
        return static_cast<wchar_t>(c + 32);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return static_cast<wchar_t>(c + 32);
    if (c == 0x178)
        return 0xFF;
    const bool oddUpper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    const bool evenUpper = (c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177);
    if ((oddUpper && c % 2 == 1) || (evenUpper && c % 2 == 0))
        return static_cast<wchar_t>(c + 1);
    return c;
}

wchar_t Folded(wchar_t c)
{
    if (c >= 0xC0 && c <= 0x17F && kLatinBase[c - 0xC0] != '.')
        return static_cast<wchar_t>(kLatinBase[c - 0xC0]);
    return LowerCase(c);
}

} // namespace

bool IsMuted(const std::wstring& title, const std::wstring& description, const std::vector<std::wstring>& words,
             const WordFinder& find)
{
    for (const std::wstring& word : words) {
        if (word.empty())
            continue;
        if (find(title, word) || find(description, word))
            return true;
    }
    return false;
}

std::wstring FoldedForMatching(const std::wstring& text)
{
    std::wstring folded(text);
    for (wchar_t& c : folded)
        c = Folded(c);
    return folded;
}

bool FoldedContains(const std::wstring& text, const std::wstring& word)
{
    return FoldedForMatching(text).find(FoldedForMatching(word)) != std::wstring::npos;
}

std::vector<int> UnmutedIndexes(int count, const std::function<bool(int)>& mutedAt)
{
    std::vector<int> kept;
    for (int i = 0; i < count; ++i) {
        if (!mutedAt(i))
            kept.push_back(i);
    }
    return kept;
}

#include "popup/MutedItems.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

bool Muted(const std::wstring& title, const std::wstring& description, const std::vector<std::wstring>& words)
{
    return IsMuted(title, description, words, FoldedContains);
}

} // namespace

TEST(MutedItems, AWordInTheTitleOrTheDescriptionHidesTheItemWhateverItsCase)
{
    const std::vector<std::wstring> words = {L"football", L"red carpet"};
    EXPECT_TRUE(Muted(L"FOOTBALL: the final", L"", words));
    EXPECT_TRUE(Muted(L"Stars arrive", L"All on the Red Carpet tonight", words)) << "a phrase in the description";
    EXPECT_FALSE(Muted(L"Red sky at night", L"a carpet of leaves", words)) << "a phrase's words apart";
    EXPECT_FALSE(Muted(L"Harbour opens", L"The market returns", words));
    EXPECT_FALSE(Muted(L"Football", L"", {})) << "no words hide nothing";
    EXPECT_FALSE(Muted(L"Football", L"", {L""})) << "an empty word hides nothing";
}

TEST(MutedItems, TheFoldingTakesOffLatinAccentsAndCaseOnly)
{
    EXPECT_EQ(FoldedForMatching(L"\u00C9LAN Caf\u00E9 \u0160KODA \u0141\u00F3d\u017A \u0178"), L"elan cafe skoda \u0142odz y");
    EXPECT_TRUE(Muted(L"Pel\u00E9 remembered", L"", {L"pele"}));
    EXPECT_TRUE(Muted(L"Pele remembered", L"", {L"PEL\u00C9"}));
    EXPECT_TRUE(Muted(L"Na\u00EFve plans", L"", {L"NA\u00CFVE"}));
    // Letters that are not Latin ones with a mark stay themselves.
    EXPECT_FALSE(Muted(L"Stra\u00DFe", L"", {L"strasse"}));
    EXPECT_FALSE(Muted(L"\u00C6sir", L"", {L"aesir"}));
    EXPECT_EQ(FoldedForMatching(L"\u00D7\u00F7\u4E2D"), L"\u00D7\u00F7\u4E2D") << "signs and other scripts";
}

TEST(MutedItems, TheFinderIsAskedOfTitleAndDescriptionForEachWordUntilOneIsFound)
{
    std::vector<std::wstring> asked;
    const WordFinder recording = [&asked](const std::wstring& text, const std::wstring& word) {
        asked.push_back(text + L"|" + word);
        return text == L"d" && word == L"b";
    };
    EXPECT_TRUE(IsMuted(L"t", L"d", {L"a", L"b", L"c"}, recording));
    EXPECT_EQ(asked, (std::vector<std::wstring>{L"t|a", L"d|a", L"t|b", L"d|b"}));
}

TEST(MutedItems, UnmutedIndexesKeepOrderAndLeaveOutTheMuted)
{
    EXPECT_EQ(UnmutedIndexes(5, [](int i) { return i % 2 == 1; }), (std::vector<int>{0, 2, 4}));
    EXPECT_EQ(UnmutedIndexes(3, [](int) { return true; }), std::vector<int>{});
    EXPECT_EQ(UnmutedIndexes(0, [](int) { return false; }), std::vector<int>{});
}

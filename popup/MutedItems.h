// Whether an item is hidden by the user's mute words: a word or phrase found anywhere in its
// title or its description as shown. Where it is found is asked of a finder: the system's
// comparison on Windows (case and, where the system does so, accents ignored), the folding below
// where there is none.
#pragma once
#include <functional>
#include <string>
#include <vector>

using WordFinder = std::function<bool(const std::wstring& text, const std::wstring& word)>;

bool IsMuted(const std::wstring& title, const std::wstring& description, const std::vector<std::wstring>& words,
             const WordFinder& find);

// Text with case folded and the accents of Latin letters taken off ("Élan" and "elan" fold the
// same); other characters stay.
std::wstring FoldedForMatching(const std::wstring& text);
// The finder without the system: the word found in the text once both are folded.
bool FoldedContains(const std::wstring& text, const std::wstring& word);

// The indexes of the items that are not muted, in their order; mutedAt(i) tells of item i.
std::vector<int> UnmutedIndexes(int count, const std::function<bool(int)>& mutedAt);

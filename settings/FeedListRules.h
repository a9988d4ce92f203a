// Decisions about the "My Feeds" list of the settings dialog, kept apart from its window.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "fw/CString.h"
#include "fw/CStringArray.h"

// Which of the list's buttons are enabled for a selection (-1: none) in a list of count items.
struct ListButtons {
    bool moveUp;
    bool moveDown;
    bool remove;
};
ListButtons ListButtonsFor(int selection, int count);

// The text of a dropped block of CF_TEXT: everything up to its terminator, unchanged, and never
// more than the block holds (text that lacks a terminator ends with the block).
CString DroppedText(const char* block, std::size_t blockSize);

// The index of the item equal to text over its whole length, letters compared without regard
// to case; -1 when there is none.
int FindFeedIgnoringCase(const CStringArray& items, const char* text);

// The feeds of `found` that the list does not hold yet, in their order, each once (letters
// compared without regard to case).
std::vector<CString> NewFeeds(const CStringArray& items, const std::vector<std::string>& found);

// Where the link bar's words lead. The item list is oldest first; found is the index of the
// shown item in it, or -1 when the shown item is not in the list. Each function gives the index
// of the item to show, or -1 when the step is impossible (the popup beeps).
#pragma once

// "Next": one step older; from an item no longer in the list, the newest.
inline int OlderItemIndex(int found, int count)
{
    if (count <= 0 || found == 0)
        return -1;
    return found < 0 || found >= count ? count - 1 : found - 1;
}

// "Previous": one step newer; impossible from the newest or from an item not in the list.
inline int NewerItemIndex(int found, int count)
{
    return found >= 0 && found < count - 1 ? found + 1 : -1;
}

enum class LinkBarWord { Previous, Next, Feed };

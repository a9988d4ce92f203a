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

// A link-bar position set at 96 DPI, at the given DPI (rounded as the layout rounds).
inline int LinkBarScaled(int pixels, int dpi)
{
    return (pixels * dpi + 48) / 96;
}

// The word under a click x pixels from the link bar's left edge. The bounds are fixed positions
// of the right-aligned text in its 8-point font, set at 96 DPI and scaled with the screen.
inline LinkBarWord LinkBarWordAt(int x, int dpi)
{
    if (x < LinkBarScaled(52, dpi))
        return LinkBarWord::Previous;
    if (x < LinkBarScaled(83, dpi))
        return LinkBarWord::Next;
    return LinkBarWord::Feed;
}

#include "popup/LinkBarLayout.h"

#include <algorithm>

LinkBarLayout LayOutLinkBar(const LinkBarPieceWidths& widths, int iconLeft)
{
    LinkBarLayout layout;
    int x = 0;
    for (int i = 0; i < kLinkBarWordCount; ++i) {
        layout.words[i] = {x, x + std::max(widths.words[i], 0)};
        x = layout.words[i].end;
        layout.separators[i] = {x, x + std::max(widths.separator, 0)};
        x = layout.separators[i].end;
    }
    layout.width = x;
    layout.left = iconLeft - x;
    return layout;
}

std::optional<LinkBarWord> LinkBarWordAt(const LinkBarLayout& layout, int x)
{
    for (int i = 0; i < kLinkBarWordCount; ++i)
        if (layout.words[i].Contains(x))
            return static_cast<LinkBarWord>(i);
    return std::nullopt;
}

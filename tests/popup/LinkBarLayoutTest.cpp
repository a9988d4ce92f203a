#include "popup/LinkBarLayout.h"

#include <gtest/gtest.h>

#include "tests/popup/MeasuredLinkBar.h"

namespace {

LinkBarPieceWidths Pieces(const MeasuredLinkBar& measured)
{
    LinkBarPieceWidths pieces;
    pieces.words[0] = measured.previous;
    pieces.words[1] = measured.next;
    pieces.words[2] = measured.feed;
    pieces.separator = measured.separator;
    return pieces;
}

const LinkBarWord kWords[] = {LinkBarWord::Previous, LinkBarWord::Next, LinkBarWord::Feed};

} // namespace

TEST(LinkBarLayout, IsAsWideAsItsTextAndEndsAtTheMenuIcon)
{
    for (const MeasuredLinkBar& measured : kMeasuredLinkBars) {
        const LinkBarLayout layout = LayOutLinkBar(Pieces(measured), 500);
        EXPECT_EQ(layout.width, measured.whole) << measured.dpi;
        EXPECT_EQ(layout.left + layout.width, 500) << measured.dpi;
        EXPECT_EQ(layout.words[0].begin, 0);
        EXPECT_EQ(layout.separators[2].end, layout.width);
    }
    // Wider than the 79 dialog units of the template (about 118 pixels at 96 DPI), which cut "Feed | ".
    EXPECT_GT(LayOutLinkBar(Pieces(kMeasuredLinkBars[0]), 0).width, 119);
}

TEST(LinkBarLayout, EachWordsMiddleGetsItsWordAndEachSeparatorNone)
{
    for (const MeasuredLinkBar& measured : kMeasuredLinkBars) {
        const LinkBarLayout layout = LayOutLinkBar(Pieces(measured), 400);
        for (int i = 0; i < kLinkBarWordCount; ++i) {
            const PixelSpan word = layout.words[i], separator = layout.separators[i];
            EXPECT_EQ(LinkBarWordAt(layout, word.Middle()), kWords[i]) << measured.dpi << " word " << i;
            EXPECT_EQ(LinkBarWordAt(layout, word.begin), kWords[i]) << measured.dpi << " word " << i;
            EXPECT_EQ(LinkBarWordAt(layout, word.end - 1), kWords[i]) << measured.dpi << " word " << i;
            EXPECT_EQ(separator.begin, word.end);
            EXPECT_EQ(separator.end - separator.begin, measured.separator);
            for (int x : {separator.begin, separator.Middle(), separator.end - 1})
                EXPECT_EQ(LinkBarWordAt(layout, x), std::nullopt) << measured.dpi << " separator " << i << " x " << x;
        }
        EXPECT_EQ(LinkBarWordAt(layout, -1), std::nullopt);
        EXPECT_EQ(LinkBarWordAt(layout, layout.width), std::nullopt);
    }
}

TEST(LinkBarLayout, NothingMeasuredGivesNoWords)
{
    const LinkBarLayout layout = LayOutLinkBar(LinkBarPieceWidths{}, 300);
    EXPECT_EQ(layout.width, 0);
    EXPECT_EQ(layout.left, 300);
    EXPECT_EQ(LinkBarWordAt(layout, 0), std::nullopt);
    LinkBarPieceWidths negative;
    negative.words[0] = -5;
    negative.words[1] = 10;
    negative.separator = -1;
    const LinkBarLayout clamped = LayOutLinkBar(negative, 0);
    EXPECT_EQ(clamped.width, 10);
    EXPECT_EQ(LinkBarWordAt(clamped, 0), LinkBarWord::Next);
}

// The container's row: where each pane goes and what size the band reports.
#include <gtest/gtest.h>

#include "band/pane_layout.h"

namespace {

TEST(PaneRow, TwoPanesSideBySideWithThreePixelGaps) {
    PaneAnswer answers[3];
    answers[0] = {120, 22, 0};
    answers[1] = {120, 20, 0};
    RowLayout row = LayOutRow(answers);
    EXPECT_EQ(row.panes[0].x, 0);
    EXPECT_EQ(row.panes[0].width, 120);
    EXPECT_EQ(row.panes[1].x, 123);
    EXPECT_EQ(row.panes[1].width, 120);
    EXPECT_EQ(row.height, 22);
    EXPECT_EQ(row.width, 246);
}

TEST(PaneRow, EmptyOrZeroWidthWatchPaneStillLeavesItsGap) {
    PaneAnswer answers[3];
    answers[1] = {120, 20, 0};
    RowLayout row = LayOutRow(answers);
    EXPECT_EQ(row.panes[1].x, 3);
    EXPECT_EQ(row.height, 20);
    EXPECT_EQ(row.width, 126);
}

TEST(PaneRow, NoPanesGiveOnlyTheGaps) {
    PaneAnswer answers[3];
    RowLayout row = LayOutRow(answers);
    EXPECT_EQ(row.width, 6);
    EXPECT_EQ(row.height, 0);
}

TEST(PaneRow, ThirdSlotAddsItsMinimumWidthAndCanSetTheHeight) {
    PaneAnswer answers[3];
    answers[0] = {10, 5, 99};  // a minimum width outside slot 2 is not read
    answers[1] = {20, 6, 0};
    answers[2] = {500, 30, 40};
    RowLayout row = LayOutRow(answers);
    EXPECT_EQ(row.width, 10 + 3 + 20 + 3 + 40);
    EXPECT_EQ(row.height, 30);
}

TEST(PaneRow, NegativeHeightsCountAsZero) {
    PaneAnswer answers[3];
    answers[0] = {10, -8, 0};
    EXPECT_EQ(LayOutRow(answers).height, 0);
}

}  // namespace

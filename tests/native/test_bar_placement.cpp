// Where the bar goes: the rectangle it asks the shell for, what it takes from the answer, and
// a floating window brought back onto its monitor.
#include <gtest/gtest.h>

#include "bar/placement.h"

namespace {

BarRect R(long l, long t, long r, long b) {
    BarRect x;
    x.left = l, x.top = t, x.right = r, x.bottom = b;
    return x;
}

TEST(DockedBar, AsksForAStripOfTheMonitorAtItsEdge) {
    EXPECT_EQ(DockStrip(R(0, 0, 1280, 800), Dock::Top, 22), R(0, 0, 1280, 22));
    EXPECT_EQ(DockStrip(R(0, 0, 1280, 800), Dock::Bottom, 22), R(0, 778, 1280, 800));
    EXPECT_EQ(DockStrip(R(-1920, 0, 0, 1080), Dock::Top, 30), R(-1920, 0, 0, 30));
}

TEST(DockedBar, KeepsItsHeightWhereTheShellMovedOneSide) {
    // Below another bar at the top: the shell moved the top down (Wine moves only the top).
    EXPECT_EQ(DockStrip(R(0, 30, 1280, 22), Dock::Top, 22), R(0, 30, 1280, 52));
    // Above a taskbar at the bottom: the shell moved the bottom up.
    EXPECT_EQ(DockStrip(R(0, 778, 1280, 760), Dock::Bottom, 22), R(0, 738, 1280, 760));
    EXPECT_EQ(DockStrip(R(0, 0, 1280, 22), Dock::Top, 22), R(0, 0, 1280, 22));
}

TEST(FloatingBar, StaysWhereItWasOrComesBackOntoTheWorkArea) {
    BarRect work = R(0, 0, 1280, 760);
    EXPECT_EQ(FloatRect(100, 200, 300, 40, work), R(100, 200, 400, 240));
    EXPECT_EQ(FloatRect(1200, 750, 300, 40, work), R(980, 720, 1280, 760));
    EXPECT_EQ(FloatRect(-50, -10, 300, 40, work), R(0, 0, 300, 40));
}

TEST(Placement, StoredNamesReadBackAndAnythingElseIsTheTop) {
    for (Dock d : {Dock::Top, Dock::Bottom, Dock::Float}) EXPECT_EQ(ParseDock(DockName(d)), d);
    EXPECT_EQ(ParseDock(""), Dock::Top);
    EXPECT_EQ(ParseDock("Bottom"), Dock::Top);
    EXPECT_EQ(ParseDock("left"), Dock::Top);
}

}  // namespace

#include "model/relRects.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

void ExpectRect(const Rect& r, int top, int left, int bottom, int right) {
    EXPECT_EQ((std::vector<int>{r.top, r.left, r.bottom, r.right}),
              (std::vector<int>{top, left, bottom, right}));
}

} // namespace

TEST(RelRects, ConversionsTruncateTowardZeroInDoublePrecision) {
    Rect frame100{0, 0, 100, 100};
    EXPECT_EQ(Rel2Rect(SetRelRect(0.29, 0, 1, 1), frame100).left, 28); // 0.29 × 100 = 28.999999999999996
    EXPECT_EQ(Rel2Rect(SetRelRect(-0.25, 0, 1, 1), Rect{0, 0, 10, 10}).left, -2);
    Rect frame720{0, 0, 480, 720};
    RelRect there = Rect2Rel(Rect{0, 13, 480, 720}, frame720);
    EXPECT_EQ(Rel2Rect(there, frame720).left, 12); // the round trip loses a pixel
}

TEST(RelRects, FramesAwayFromTheOriginAddTheirEdges) {
    Rect frame{10, 20, 110, 220}; // top, left, bottom, right
    ExpectRect(Rel2Rect(SetRelRect(0.5, 0.0, 1.0, 1.0), frame), 10, 120, 110, 220);
    RelRect rel = Rect2Rel(Rect{35, 70, 60, 120}, frame);
    EXPECT_DOUBLE_EQ(rel.left, 0.25);
    EXPECT_DOUBLE_EQ(rel.top, 0.25);
    Point p = Rel2Point(RelPoint{0.5, 0.5}, frame);
    EXPECT_EQ(p.h, 120);
    EXPECT_EQ(p.v, 60);
    RelPoint back = Point2Rel(p, frame);
    EXPECT_EQ(back.horiz, 0.5);
    EXPECT_EQ(back.vert, 0.5);
}

TEST(RelRects, RectanglesOutsideTheFrameStayOutside) {
    Rect frame{0, 0, 100, 200};
    RelRect rel = Rect2Rel(Rect{-50, -20, 150, 240}, frame);
    EXPECT_LT(rel.left, 0.0);
    EXPECT_GT(rel.bottom, 1.0);
    ExpectRect(Rel2Rect(rel, frame), -50, -20, 150, 240);
}

TEST(RelRects, ZeroSizeFramesGiveZerosNotNaN) {
    RelRect rel = Rect2Rel(Rect{1, 2, 3, 4}, Rect{5, 5, 5, 5});
    for (double v : {rel.left, rel.right, rel.top, rel.bottom})
        EXPECT_EQ(v, 0.0);
    RelPoint pt = Point2Rel(Point{3, 4}, Rect{0, 0, 0, 10});
    EXPECT_EQ(pt.vert, 0.0);
    EXPECT_DOUBLE_EQ(pt.horiz, 0.4);
}

// A product beyond 32 bits is pinned there, and so is its sum with the frame's edge, before
// the low 16 bits make the coordinate: 0x7FFFFFFF gives -1 and -0x80000000 gives 0.
TEST(RelRects, ValuesBeyondThe32BitRangeArePinned) {
    const Rect away{-10, 20, 90, 220}; // top, left, bottom, right
    ExpectRect(Rel2Rect(RelRect{1e10, -1e10, -1e10, 1e10}, away), 0, -1, -11, 20);
    ExpectRect(Rel2Rect(RelRect{NAN, INFINITY, -INFINITY, 1e300}, Rect{0, 0, 100, 100}), 0, 0, -1, -1);
    const Point p = Rel2Point(RelPoint{1e10, -1e10}, away);
    EXPECT_EQ(p.h, -1);
    EXPECT_EQ(p.v, 0);
}

TEST(RelRects, TweenInterpolatesInsideAndHoldsOutside) {
    RelRect a = SetRelRect(0.0, 0.0, 0.5, 0.5), b = SetRelRect(0.5, 0.5, 1.0, 1.0);
    const RelRect mid = CalcTweenRel(10, 20, 15, a, b), one = CalcTweenRel(7, 7, 7, a, b); // one: the source
    EXPECT_EQ(
        (std::vector<double>{CalcTweenRel(10, 20, 10, a, b).right, CalcTweenRel(10, 20, 9, a, b).left,
                             CalcTweenRel(10, 20, 21, a, b).left, mid.left, mid.bottom, one.left, one.right}),
        (std::vector<double>{0.5, 0.0, 0.5, 0.25, 0.75, 0.0, 0.5}));
}

#include "render/pixelCompositing.h"

#include "PaddedBuffer.h"

#include <gtest/gtest.h>

namespace {

const PixRec kGrey{5, 100, 100, 100};

// The positions of b whose pixel differs from what, as "x,y" strings in row order.
std::vector<std::string> Changed(PaddedBuffer& b, PixRec what) {
    std::vector<std::string> at;
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x)
            if (!(b.At(x, y) == what)) at.push_back(std::to_string(x) + "," + std::to_string(y));
    return at;
}

} // namespace

TEST(PixelCompositing, SetPixmapPixelsFillsTheRectangleWithAlphaZero) {
    PaddedBuffer b(5, 4, kGrey);
    SetPixmapPixels(b.gw(), Rect{2, 3, 9, 9}, 1, 2, 3);
    EXPECT_EQ(Changed(b, kGrey), (std::vector<std::string>{"3,2", "4,2", "3,3", "4,3"}));
    EXPECT_EQ(b.At(4, 3), (PixRec{0, 1, 2, 3}));
    SetPixmapPixels(nullptr, Rect{0, 0, 4, 5}, 1, 2, 3);
}

TEST(PixelCompositing, SetUsingAlphaBlendsTheSquareAndKeepsAlpha) {
    PaddedBuffer b(4, 4, kGrey);
    const RGBColor colour{0xC8FF, 0x0000, 0xFF00};
    PSetGWPixelUsingAlpha(b.gw(), 0, 0, 0.5, colour, 1);
    EXPECT_EQ(b.At(0, 0), (PixRec{5, 150, 50, 177}));
    PSetGWPixelUsingAlpha(b.gw(), 2, 2, 1.0, colour, 3); // reaches past the corner
    EXPECT_EQ(Changed(b, kGrey), (std::vector<std::string>{"0,0", "2,2", "3,2", "2,3", "3,3"}));
    EXPECT_EQ(b.At(3, 3), (PixRec{5, 200, 0, 255}));
    PSetGWPixelUsingAlpha(b.gw(), 4, 0, 1.0, colour, 3); // brush point outside
    PSetGWPixelUsingAlpha(nullptr, 0, 0, 1.0, colour, 3);
    EXPECT_EQ(b.At(0, 1), kGrey);
}

TEST(PixelCompositing, SetAndAlphaAtTheLastColumnWritesOneColumn) {
    PaddedBuffer b(4, 5, kGrey);
    PSetGWPixelAndAlpha(b.gw(), 3, 1, RGBColor{0x1234, 0x5678, 0x9ABC}, 0x101, 3);
    EXPECT_EQ(Changed(b, kGrey), (std::vector<std::string>{"3,1", "3,2", "3,3"}));
    EXPECT_EQ(b.At(3, 2), (PixRec{1, 0x12, 0x56, 0x9A}));
    PSetGWPixelAndAlpha(b.gw(), 0, -1, RGBColor{}, 0, 3);
    EXPECT_EQ(b.At(0, 0), kGrey);
}

TEST(PixelCompositing, PlotSetsASolidSquareOfRadiusSize) {
    PaddedBuffer b(5, 4, kGrey);
    const PixRec ink{1, 2, 3, 4};
    PPlotPixel(b.gw(), 0, 1, 0, true, true, ink);
    EXPECT_EQ(Changed(b, kGrey), (std::vector<std::string>{"0,1"}));
    PPlotPixel(b.gw(), 4, 3, 2, false, false, ink); // clipped at the corner: 3 x 3
    EXPECT_EQ(Changed(b, kGrey).size(), 10u);
    EXPECT_EQ(b.At(2, 1), ink);
    PPlotPixel(b.gw(), 5, 0, 2, false, false, PixRec{});
    EXPECT_EQ(b.At(4, 0), kGrey);
}

// Smudging, combining and rotating, which nothing in the effect calls: one value each, and
// squares and rectangles reaching past the buffers stay inside them.
TEST(PixelCompositing, SmudgeCombineAndRotateStayInsideTheirBuffers) {
    PaddedBuffer s1(3, 3, PixRec{0, 0, 0, 0}), s2(2, 2, PixRec{0, 90, 90, 90});
    s1.At(0, 0) = PixRec{9, 90, 180, 9};
    PixRec result{};
    PSmudgePixel(s1.gw(), s2.gw(), 1, 1, 1, false, 3, result); // 9 + the second buffer's 4 pixels
    EXPECT_EQ(result, (PixRec{3, 34, 41, 28}));
    result = PixRec{1, 2, 3, 4};
    PSmudgePixel(s1.gw(), nullptr, 1, 3, 1, false, 3, result);
    EXPECT_EQ(result, (PixRec{1, 2, 3, 4}));

    PaddedBuffer a(4, 4, PixRec{7, 200, 100, 0}), b(4, 4, PixRec{8, 0, 50, 255}), t(4, 4, kGrey);
    PCombineGWAndPutUsingAlpha(a.gw(), b.gw(), t.gw(), 0, 0, 1, 1, 51, false, 1);
    EXPECT_EQ(t.At(1, 1), (PixRec{7, 40, 60, 204}));
    t.Fill(kGrey); // a square from left of and above the target, and a smaller second source
    PCombineGWAndPutUsingAlpha(a.gw(), b.gw(), t.gw(), 1, 1, -1, 2, 255, false, 3);
    PCombineGWAndPutUsingAlpha(a.gw(), s2.gw(), t.gw(), 1, 1, 3, 0, 0, false, 3);
    EXPECT_EQ(Changed(t, kGrey), (std::vector<std::string>{"3,0", "0,2", "1,2", "0,3", "1,3"}));

    PaddedBuffer s(7, 4), d(7, 4, kGrey);
    s.FillPattern(20);
    RotatePixmap(s.gw(), d.gw(), Rect{1, 2, 3, 6}, 0.0); // by zero: shifted by one column
    EXPECT_EQ(d.At(1, 1), s.At(2, 1));
    d.Fill(kGrey);
    RotatePixmap(s.gw(), d.gw(), Rect{-5, -5, 12, 12}, 0.7);
    EXPECT_GT(Changed(d, kGrey).size(), 10u);
}

#include "render/ImageOps.h"

#include "PaddedBuffer.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

const PixRec kMarker{9, 8, 7, 6};
const Rect kArea{1, 1, 3, 3}; // rows 1-2, columns 1-2 of a 4 x 3 buffer

using BinaryOp = std::function<void(GWorldPtr, GWorldPtr, GWorldPtr)>;

// Runs a two-source operation on 4 x 3 buffers filled with p1 and p2 and returns dest's
// pixel inside kArea, after checking that every pixel inside got the same result, those
// outside kept the marker, nothing beyond the pixels was written and every state is back.
// Unless the result depends on dest's old pixel, the same call in place on source1 must agree.
PixRec RunBinary(const BinaryOp& op, PixRec p1, PixRec p2, bool readsDest = false) {
    PaddedBuffer s1(4, 3, p1), s2(4, 3, p2), d(4, 3, kMarker);
    op(s1.gw(), s2.gw(), d.gw());
    const PixRec result = d.At(1, 1);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) {
            const bool inside = y >= 1 && x >= 1 && x <= 2;
            EXPECT_EQ(d.At(x, y), inside ? result : kMarker) << "at " << x << "," << y;
        }
    if (!readsDest) {
        op(s1.gw(), s2.gw(), s1.gw());
        EXPECT_EQ(s1.At(2, 2), result) << "in place";
    }
    return result;
}

BinaryOp Add(bool normalise, bool useAlpha = false, bool useSource1 = true, bool invert = false) {
    return [=](GWorldPtr a, GWorldPtr b, GWorldPtr d) {
        AddGWorlds(a, b, d, kArea, normalise, useAlpha, useSource1, invert);
    };
}

BinaryOp Subtract(bool calcDiff, double amplifyer, double threshold, bool useAlpha = false) {
    return [=](GWorldPtr a, GWorldPtr b, GWorldPtr d) {
        SubtractGWorlds(a, b, d, kArea, calcDiff, useAlpha, true, false, amplifyer, threshold);
    };
}

BinaryOp Weighted(SInt16 w1, SInt16 w2) {
    return [=](GWorldPtr a, GWorldPtr b, GWorldPtr d) { AddWeightedGWorlds(a, b, d, w1, w2, kArea); };
}

BinaryOp Scaled(bool brighten, bool invert) {
    return [=](GWorldPtr a, GWorldPtr b, GWorldPtr d) {
        brighten ? BrightenGWByGW(a, b, d, invert, kArea) : DarkenGWByGW(a, b, d, invert, kArea);
    };
}

BinaryOp Trigger(SInt16 value, bool above) {
    return [=](GWorldPtr a, GWorldPtr, GWorldPtr d) { TriggerInvertGWorlds(a, d, value, above, kArea); };
}

BinaryOp Blit(SInt16 alpha) {
    return [=](GWorldPtr a, GWorldPtr, GWorldPtr d) { AlphaBlit2(a, d, kArea, alpha, false); };
}

} // namespace

// Each operation's value for one pair of pixels; the alpha is source 1's unless said otherwise.
TEST(ImageOps, OperationsGiveTheirValues) {
    const PixRec a{7, 200, 100, 10}, b{9, 100, 100, 10}, opaque{255, 200, 100, 10}, clear{0, 40, 50, 60};
    // p averages 60; mid's brightness is 0.2
    const PixRec s1{3, 10, 200, 50}, s2{4, 20, 100, 50}, p{5, 30, 60, 90}, inv{5, 225, 195, 165};
    const PixRec mid{8, 51, 51, 51}, colour{200, 100, 200, 0};
    const auto multiply = [](GWorldPtr x, GWorldPtr y, GWorldPtr d) { MultiplyGWorlds(x, y, d, kArea); };
    const auto divide = [](GWorldPtr x, GWorldPtr y, GWorldPtr d) { DivideGWorlds(x, y, d, kArea); };
    const auto invert = [](GWorldPtr x, GWorldPtr, GWorldPtr d) { InvertGWorlds(x, d, kArea); };
    const auto copy = [](GWorldPtr x, GWorldPtr, GWorldPtr d) { CopyPartOfGWorlds(x, d, kArea); };
    const struct {
        const char* what;
        BinaryOp op;
        PixRec p1, p2, want;
        bool readsDest = false;
    } cases[] = {
        {"add normalised", Add(true), a, b, PixRec{7, 150, 100, 10}},
        {"add", Add(false), a, b, PixRec{7, 255, 200, 20}},
        {"weighted 1:3", Weighted(1, 3), a, b, PixRec{7, 125, 100, 10}},
        {"weighted, 300 held at 255", Weighted(2, -1), a, b, PixRec{7, 255, 100, 10}},
        {"weighted, negative gives 255", Weighted(-1, 2), a, PixRec{0, 50, 100, 10}, PixRec{7, 255, 100, 10}},
        {"no weights", Weighted(3, -3), a, b, kMarker, true},
        {"multiply", multiply, PixRec{1, 255, 100, 0}, PixRec{2, 128, 100, 255}, PixRec{1, 128, 39, 0}},
        {"divide", divide, PixRec{1, 200, 7, 0}, PixRec{2, 100, 0, 0}, PixRec{1, 2, 255, 255}},
        {"add, inverted alpha", Add(true, true, true, true), opaque, clear, PixRec{255, 40, 50, 60}},
        {"add, alpha of source 2", Add(false, true, false, false), opaque, clear, PixRec{255, 40, 50, 60}},
        {"add, alpha 51: 200 * 0.2 + 40 * 0.8", Add(false, true, true, false), PixRec{51, 200, 100, 10},
         clear, PixRec{51, 72, 60, 50}},
        {"difference", Subtract(true, 0.0, 0.0), s1, s2, PixRec{3, 10, 100, 0}},
        {"subtract", Subtract(false, 0.0, 0.0), s1, s2, PixRec{3, 0, 100, 0}},
        {"threshold", Subtract(true, 0.0, 0.5), s1, s2, PixRec{3, 0, 0, 0}},
        {"gain", Subtract(true, 3.0, 0.0), s1, s2, PixRec{3, 30, 255, 0}},
        {"gain held", Subtract(true, -1e300, 0.0), s1, s2, PixRec{3, 255, 255, 0}},
        {"subtract with alpha", Subtract(true, 0.0, 0.0, true), PixRec{255, 10, 200, 50}, s2,
         PixRec{255, 10, 200, 50}},
        {"invert", invert, PixRec{5, 0, 100, 255}, kMarker, PixRec{5, 255, 155, 0}},
        {"trigger at 60 above", Trigger(60, true), p, kMarker, p},
        {"trigger at 59 above", Trigger(59, true), p, kMarker, inv},
        {"trigger at 61 below", Trigger(61, false), p, kMarker, inv},
        {"trigger at -1", Trigger(-1, true), PixRec{5, 0, 0, 0}, kMarker, PixRec{5, 255, 255, 255}},
        {"brighten", Scaled(true, false), mid, colour, PixRec{8, 120, 240, 0}},
        {"darken", Scaled(false, false), mid, colour, PixRec{8, 80, 160, 0}},
        {"darken inverted", Scaled(false, true), mid, colour, PixRec{8, 20, 40, 0}},
        {"copy", copy, PixRec{1, 2, 3, 4}, kMarker, PixRec{255, 2, 3, 4}},
        {"blit at 0", Blit(0), PixRec{1, 2, 3, 4}, kMarker, kMarker, true},
        {"blit at 50", Blit(50), PixRec{1, 100, 3, 4}, kMarker, PixRec{1, 54, 5, 5}, true},
        {"blit at 100", Blit(100), PixRec{1, 2, 3, 4}, kMarker, PixRec{1, 2, 3, 4}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(RunBinary(c.op, c.p1, c.p2, c.readsDest), c.want);
    }
}

TEST(ImageOps, SwapAndAlphaBlitCopyingTheRest) {
    PaddedBuffer s(5, 4), d(5, 4);
    s.FillPattern(1);
    d.FillPattern(90);
    const std::vector<PixRec> before1 = s.Pixels(), before2 = d.Pixels();
    SwapPartOfGWorlds(s.gw(), d.gw(), kArea);
    AlphaBlit2(s.gw(), s.gw(), Rect{0, 0, 4, 5}, 100, true); // in place: no change
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x) {
            const size_t i = size_t(y * 5 + x);
            const bool inside = y >= 1 && y < 3 && x >= 1 && x < 3;
            EXPECT_EQ(s.At(x, y), inside ? before2[i] : before1[i]);
            EXPECT_EQ(d.At(x, y), inside ? before1[i] : before2[i]);
        }
    // alpha 0 with copyRest copies only what lies outside the rectangle
    AlphaBlit2(s.gw(), d.gw(), kArea, 0, true);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x) {
            const bool inside = y >= 1 && y < 3 && x >= 1 && x < 3;
            EXPECT_EQ(d.At(x, y), inside ? before1[size_t(y * 5 + x)] : s.At(x, y));
        }
}

TEST(ImageOps, NilBuffersAndSizeMismatchChangeNothingAndRestoreState) {
    PaddedBuffer a(4, 3, PixRec{1, 2, 3, 4}), small(3, 3, PixRec{1, 2, 3, 4}), d(4, 3, kMarker);
    MultiplyGWorlds(a.gw(), small.gw(), d.gw(), kArea);
    MultiplyGWorlds(a.gw(), nullptr, d.gw(), kArea);
    InvertGWorlds(a.gw(), small.gw(), kArea);
    DistortGWorlds(a.gw(), small.gw(), kArea, Point{}, Point{}, Point{}, Point{}, false);
    SetFixedAlpha(nullptr, 3);
    FillGW(nullptr, RGBColor{}, 0, 0, 0, 1);
    EXPECT_EQ(d.At(1, 1), kMarker);
    EXPECT_EQ(small.At(1, 1), (PixRec{1, 2, 3, 4}));
}

// Averaging, rolling and distorting: one value each, and bad counts, other sizes and corners
// outside the frame change nothing.
TEST(ImageOps, AverageRollAndDistortStayInsideTheirBuffers) {
    PaddedBuffer b1(4, 3, PixRec{1, 10, 0, 255}), b2(4, 3, PixRec{2, 20, 100, 255}),
        b3(4, 3, PixRec{3, 31, 0, 0});
    PaddedBuffer d(4, 3, kMarker), small(4, 2, kMarker);
    GWorldList list{small.gw(), b1.gw(), b2.gw(), b3.gw()}; // entry 0 is never used
    for (SInt16 bad : {0, 101, 4})                          // count out of range, or a nil entry
        AverageGWorlds(list, d.gw(), bad, kArea);
    EXPECT_EQ(d.At(1, 1), kMarker);
    AverageGWorlds(list, d.gw(), 3, kArea); // the last entry's alpha
    EXPECT_EQ(d.At(2, 2), (PixRec{3, 20, 33, 170}));
    list[2] = small.gw();
    AverageGWorlds(list, d.gw(), 3, Rect{0, 0, 3, 4});
    EXPECT_EQ(d.At(0, 0), kMarker);

    PaddedBuffer s(16, 6), r(16, 6, kMarker);
    s.FillPattern(5);
    const Rect area{1, 2, 5, 14}; // 12 x 4
    RollGWorlds(s.gw(), r.gw(), area, -3, 1, true);
    EXPECT_EQ(r.At(13, 1), s.At(4, 4)); // wrapped
    r.Fill(kMarker);
    RollGWorlds(s.gw(), r.gw(), area, 10, 0, false);
    for (int x = 0; x < 16; ++x)
        EXPECT_EQ(r.At(x, 2), x >= 12 && x < 14 ? s.At(x - 10, 2) : kMarker) << x;

    // A mirror: tl at the right edge, tr one left of the left edge.
    const Rect whole{0, 0, 6, 16};
    DistortGWorlds(s.gw(), r.gw(), whole, Point{0, 15}, Point{0, -1}, Point{6, 15}, Point{6, -1}, false);
    EXPECT_EQ(r.At(15, 3), s.At(0, 3));
    r.Fill(kMarker);
    const Point far{100, 100};
    DistortGWorlds(s.gw(), r.gw(), whole, far, far, far, far, false);
    EXPECT_EQ(r.Pixels(), std::vector<PixRec>(96, kMarker));
    SInt16 nx, ny; // an empty rectangle maps to a place outside every buffer
    CalcNewCoords(Rect{3, 3, 3, 3}, Point{0, 0}, Point{0, 20}, Point{10, 0}, Point{10, 20}, 5, 5, nx, ny);
    EXPECT_EQ(nx, -32768);
}

TEST(ImageOps, AlphaSettersWriteOnlyTheAlphaByte) {
    PaddedBuffer a(5, 3);
    a.FillPattern(1);
    SetFixedAlpha(a.gw(), 0x1C3);
    EXPECT_EQ(a.At(4, 2).alpha, 0xC3);
    EXPECT_EQ(a.At(4, 2).blue, UInt8(1 + 4 + 34));
    KillAlphaNull(a.gw());
    EXPECT_EQ(a.At(2, 1).alpha, 0);
    KillAlphaFull(a.gw());
    EXPECT_EQ(a.At(2, 1).alpha, 255);
    EXPECT_EQ(a.At(2, 1).red, UInt8(1 + 20 + 3));
}

TEST(ImageOps, FillToleranceAndLeftOnlyScansAboveAndBelow) {
    // Row 1 is walled at column 3; row 0 is open to the right of the wall.
    PaddedBuffer b(6, 2, PixRec{0, 50, 50, 50});
    b.At(3, 1) = PixRec{0, 0, 0, 0};
    FillGW(b.gw(), RGBColor{0xFF00, 0, 0}, 0, 1, 255, 1);
    for (int x = 0; x < 6; ++x) {
        EXPECT_EQ(b.At(x, 0).red, x < 3 ? 255 : 50) << x;
        EXPECT_EQ(b.At(x, 1).red, x < 3 ? 255 : x == 3 ? 0 : 50) << x;
    }
    // A row whose last pixel differs from the seed by 1 in green.
    PaddedBuffer c(3, 1);
    auto fillFromLeft = [&](SInt16 x, SInt16 maxDelta) {
        c.Fill(PixRec{0, 50, 50, 50});
        c.At(2, 0).green = 51;
        FillGW(c.gw(), RGBColor{0xFF00, 0, 0}, x, 0, 255, maxDelta);
        return std::vector<int>{c.At(0, 0).red, c.At(1, 0).red, c.At(2, 0).red};
    };
    EXPECT_EQ(fillFromLeft(0, 0), (std::vector<int>{255, 50, 50}));
    EXPECT_EQ(fillFromLeft(0, 2), (std::vector<int>{255, 255, 255}));
    EXPECT_EQ(fillFromLeft(3, 2), (std::vector<int>{50, 50, 50}));
    EXPECT_EQ(fillFromLeft(-1, 2), (std::vector<int>{50, 50, 50}));
}

// Every pixel of a buffer whose bounds run from -20000 to 20000 (rows past 32767, counted
// from its top) and of a whole 4K frame is filled.
TEST(ImageOps, FillCoversTallBuffersAndWhole4KFrames) {
    for (Rect bounds : {Rect{-20000, 0, 20000, 2}, Rect{0, 0, 2160, 3840}}) {
        GWorldPtr gw = nullptr;
        ASSERT_EQ(NewGWorld(&gw, 32, &bounds, nullptr, nullptr, 0), noErr);
        ClearGW(gw, RGBColor{0x1000, 0x2000, 0x3000});
        const int width = bounds.right - bounds.left, height = bounds.bottom - bounds.top;
        FillGW(gw, RGBColor{0xFF00, 0x8000, 0}, SInt16(width / 2), SInt16(height / 2), 200, 1);
        PixMapHandle pm = GetGWorldPixMap(gw);
        for (long y = 0; y < height; ++y) {
            const auto* row = reinterpret_cast<const PixRec*>(GetPixBaseAddr(pm) + y * GetPixRowBytes(pm));
            for (int x = 0; x < width; ++x)
                ASSERT_EQ(row[x], (PixRec{200, 255, 128, 0})) << x << "," << y;
        }
        DisposeGWorld(gw);
    }
}

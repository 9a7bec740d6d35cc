#include "render/pixelEffect.h"
#include "model/DataHandling.h"
#include "render/pixelBuffers.h"
#include "render/pixelKernels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

// The effect's formula as written: double precision, S = 1 − s/100, I = 1 − S, truncation,
// then saturation to a byte.
UInt8 Formula(int c, int amount) {
    double S = 1.0 - amount / 100.0;
    double I = 1.0 - S;
    double v = std::trunc(c * S + (255 - c) * I);
    return UInt8(v < 0 ? 0 : v > 255 ? 255 : v);
}

PluginDataRec ConfigWith(SInt16 r, SInt16 g, SInt16 b) {
    PluginDataRec rec{};
    ResetConfig(&rec, true);
    rec.sliders[1] = r;
    rec.sliders[2] = g;
    rec.sliders[3] = b;
    return rec;
}

GWorldPtr World(short w, short h) {
    Rect r{0, 0, h, w};
    GWorldPtr gw = nullptr;
    EXPECT_EQ(NewGWorld(&gw, 32, &r, nullptr, nullptr, 0), noErr);
    return gw;
}

PixRec Get(GWorldPtr gw, int x, int y) {
    PixMapHandle pm = GetGWorldPixMap(gw);
    PixRec p;
    PGetPixel(GetPixBaseAddr(pm), SInt32(GetPixRowBytes(pm)), SInt16(x), SInt16(y), p);
    return p;
}

void Set(GWorldPtr gw, int x, int y, PixRec p) {
    PixMapHandle pm = GetGWorldPixMap(gw);
    PSetPixel(GetPixBaseAddr(pm), SInt32(GetPixRowBytes(pm)), SInt16(x), SInt16(y), &p);
}

PixRec Pattern(int x, int y) {
    return PixRec{UInt8(x * 3 + y), UInt8(x * 7 + y * 13), UInt8(x + 100), UInt8(y * 31)};
}

void FillPattern(GWorldPtr gw) {
    Rect b = GetPortRect(gw);
    for (int y = 0; y < b.bottom; ++y)
        for (int x = 0; x < b.right; ++x)
            Set(gw, x, y, Pattern(x, y));
}

bool Same(PixRec a, PixRec b) {
    return std::memcmp(&a, &b, 4) == 0;
}

} // namespace

// Every kernel against the formula, for every channel value and every amount the 16-bit
// field can hold; each channel gets a different amount so a mixed-up table shows.
TEST(PixelEffectKernels, EveryKernelEqualsTheFormulaOverTheWholeRange) {
    std::vector<UInt8> in(256 * 4), out(256 * 4);
    for (int c = 0; c < 256; ++c) {
        in[size_t(4 * c)] = UInt8(c * 5);
        in[size_t(4 * c + 1)] = UInt8(c);
        in[size_t(4 * c + 2)] = UInt8(255 - c);
        in[size_t(4 * c + 3)] = UInt8((c * 7) & 255);
    }
    EffectSetupRec setup;
    size_t kernelRuns = 0;
    for (int a = -32768; a <= 32767; ++a) {
        SInt16 r = SInt16(a), g = SInt16(-a - 1), b = SInt16(a ^ 0x5A5A);
        PrepareEffect(setup, r, g, b);
        for (const NamedKernelRec& k : AvailableEffectKernels(setup)) {
            k.proc(in.data(), out.data(), 256, setup);
            ++kernelRuns;
            for (int c = 0; c < 256; ++c) {
                const UInt8* o = &out[size_t(4 * c)];
                const UInt8* i = &in[size_t(4 * c)];
                if (o[0] != 255 || o[1] != Formula(i[1], r) || o[2] != Formula(i[2], g) ||
                    o[3] != Formula(i[3], b))
                    FAIL() << k.name << " amounts " << r << "," << g << "," << b << " value " << c;
            }
        }
    }
    EXPECT_GE(kernelRuns, 65536u);
}

TEST(PixelEffectKernels, KeptAndInvertedChannelsTakeTheXorForm) {
    EffectSetupRec setup;
    for (SInt16 r : {0, 100})
        for (SInt16 g : {0, 100})
            for (SInt16 b : {0, 100}) {
                PrepareEffect(setup, r, g, b);
                EXPECT_TRUE(setup.isXor);
            }
    PrepareEffect(setup, 100, 100, 99);
    EXPECT_FALSE(setup.isXor);
}

// The formula in doubles is what counts, not exact arithmetic nor single precision.
TEST(PixelEffectKernels, ChannelFollowsTheDoubleFormulaWhereOthersDiffer) {
    for (int amount : {4, 8, 20, 96}) {
        int differsFromExact = 0;
        for (int c = 0; c < 256; ++c) {
            EXPECT_EQ(InvertChannel(UInt8(c), SInt16(amount)), Formula(c, amount));
            // Exact: (c × (100 − s) + (255 − c) × s) / 100, truncated.
            int exact = (c * (100 - amount) + (255 - c) * amount) / 100;
            differsFromExact += exact != Formula(c, amount);
        }
        EXPECT_GT(differsFromExact, 0) << amount;
    }
    EXPECT_EQ(InvertChannel(200, 30), 156);
    EXPECT_EQ(InvertChannel(0, 150), 255); // saturated, not wrapped to 126
    EXPECT_EQ(InvertChannel(255, 150), 0);
    EXPECT_EQ(InvertChannel(77, 50), 127);
}

TEST(PixelEffect, ListedPixels) {
    GWorldPtr src = World(1, 1), dst = World(1, 1);
    Set(src, 0, 0, PixRec{0, 10, 20, 30});
    PluginDataRec cfg = ConfigWith(50, 100, 0);
    PixelEffect(src, dst, Rect{0, 0, 1, 1}, true, &cfg);
    EXPECT_TRUE(Same(Get(dst, 0, 0), PixRec{255, 127, 235, 30}));
    cfg = ConfigWith(100, 100, 100);
    PixelEffect(src, dst, Rect{0, 0, 1, 1}, true, &cfg);
    EXPECT_TRUE(Same(Get(dst, 0, 0), PixRec{255, 245, 235, 225}));
    cfg = ConfigWith(0, 0, 0);
    for (GWorldPtr dest : {GWorldPtr(nullptr), src}) { // in place, both ways
        PixelEffect(src, dest, Rect{0, 0, 1, 1}, true, &cfg);
        EXPECT_TRUE(Same(Get(src, 0, 0), PixRec{255, 10, 20, 30}));
        EXPECT_FALSE(GetPixelsState(GetGWorldPixMap(src)) & pixelsLocked); // unlocked, as before
    }
    DisposeGWorld(src);
    DisposeGWorld(dst);
}

// Inside the half-open rectangle the formula, outside an exact copy; rectangles reaching
// outside the frame are cut to it; padded rows keep their padding.
TEST(PixelEffect, RectangleEdgesAndPaddedRows) {
    const short W = 37, H = 11;
    const long pad = 24;
    std::vector<UInt8> srcMem(size_t((4 * W + pad) * H)), dstMem(srcMem.size(), 0xCD);
    GWorldPtr src = nullptr, dst = nullptr;
    Rect bounds{0, 0, H, W};
    ASSERT_EQ(NewGWorldFromPtr(&src, k32ARGBPixelFormat, &bounds, nullptr, nullptr, 0,
                               reinterpret_cast<Ptr>(srcMem.data()), 4 * W + pad),
              noErr);
    ASSERT_EQ(NewGWorldFromPtr(&dst, k32ARGBPixelFormat, &bounds, nullptr, nullptr, 0,
                               reinterpret_cast<Ptr>(dstMem.data()), 4 * W + pad),
              noErr);
    FillPattern(src);
    const SInt16 amounts[2][3] = {{30, 60, 90}, {100, 0, 100}}; // the general and the XOR form
    for (const auto& a : amounts) {
        PluginDataRec cfg = ConfigWith(a[0], a[1], a[2]);
        const Rect rects[] = {{2, 3, 9, 30}, {-5, -5, 4, 50}, {0, 0, 1, 1},
                              {5, 5, 5, 9},  {20, 0, 30, 10}, {0, 0, H, W}};
        for (const Rect& r : rects) {
            PixelEffect(src, dst, r, true, &cfg);
            for (int y = 0; y < H; ++y) {
                for (int x = 0; x < W; ++x) {
                    PixRec in = Pattern(x, y), want = in;
                    if (y >= r.top && y < r.bottom && x >= r.left && x < r.right)
                        want = PixRec{255, Formula(in.red, a[0]), Formula(in.green, a[1]),
                                      Formula(in.blue, a[2])};
                    ASSERT_TRUE(Same(Get(dst, x, y), want))
                        << x << "," << y << " rect " << r.left << "," << r.top;
                }
                for (long i = 4 * W; i < 4 * W + pad; ++i)
                    ASSERT_EQ(dstMem[size_t(y * (4 * W + pad) + i)], 0xCD);
            }
        }
    }
    DisposeGWorld(src);
    DisposeGWorld(dst);
}

TEST(PixelEffect, BuffersOfDifferentSizeAreLeftUntouched) {
    GWorldPtr src = World(4, 4), dst = World(4, 5);
    FillPattern(src);
    PixRec marker{9, 9, 9, 9};
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 4; ++x)
            Set(dst, x, y, marker);
    PluginDataRec cfg = ConfigWith(100, 100, 100);
    PixelEffect(src, dst, Rect{0, 0, 4, 4}, true, &cfg);
    PixelEffect(src, dst, Rect{0, 0, 4, 4}, true, nullptr);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_TRUE(Same(Get(dst, x, y), marker));
    EXPECT_FALSE(GetPixelsState(GetGWorldPixMap(src)) & pixelsLocked); // states restored
    PixelEffect(nullptr, nullptr, Rect{0, 0, 4, 4}, true, &cfg);
    DisposeGWorld(src);
    DisposeGWorld(dst);
}

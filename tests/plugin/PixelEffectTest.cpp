#include "render/pixelEffect.h"
#include "EffectOracle.h"
#include "model/DataHandling.h"
#include "render/pixelBuffers.h"
#include "render/pixelKernels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

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

// Runs the kernel that each instruction set of this processor chooses, pinned in turn, over
// 259 pixels (every value in every channel, then a tail shorter than any vector) and compares
// every channel with the formula. Records the kernels it ran.
struct KernelCheckRec {
    static constexpr int kCount = 259;
    std::vector<UInt8> in = std::vector<UInt8>(kCount * 4), out = std::vector<UInt8>(kCount * 4);
    std::set<std::string> kernelsRun;
    EffectSetupRec setup;

    KernelCheckRec() {
        for (int i = 0; i < kCount; ++i) {
            int c = i & 255;
            in[size_t(4 * i)] = UInt8(c * 5);
            in[size_t(4 * i + 1)] = UInt8(c);
            in[size_t(4 * i + 2)] = UInt8(255 - c);
            in[size_t(4 * i + 3)] = UInt8((c * 7) & 255);
        }
    }

    bool Check(SInt16 r, SInt16 g, SInt16 b) {
        PrepareEffect(setup, r, g, b);
        UInt8 want[4][256];
        for (int c = 0; c < 256; ++c) {
            want[0][c] = 255;
            want[1][c] = oracle::Channel(c, r);
            want[2][c] = oracle::Channel(c, g);
            want[3][c] = oracle::Channel(c, b);
        }
        std::set<EffectKernelProc> checked;
        for (const char* set : EffectInstructionSets()) {
            PinEffectInstructionSet(set);
            NamedKernelRec k = ChooseEffectKernel(setup);
            if (!checked.insert(k.proc).second) continue;
            kernelsRun.insert(k.name);
            std::fill(out.begin(), out.end(), 0); // a pixel left unwritten shows in its alpha
            k.proc(in.data(), out.data(), kCount, setup);
            for (size_t i = 0; i < out.size(); ++i)
                if (out[i] != want[i % 4][in[i]]) {
                    ADD_FAILURE() << k.name << " amounts " << r << "," << g << "," << b << " byte " << i;
                    PinEffectInstructionSet(nullptr);
                    return false;
                }
        }
        PinEffectInstructionSet(nullptr);
        return true;
    }
};

// True when every pinned instruction set but the plain one runs vector kernels: none falls
// back to table lookups, nor AVX2 to SSE2.
bool TakesFastKernels(const EffectSetupRec& setup) {
    bool fast = true;
    for (const char* set : EffectInstructionSets()) {
        PinEffectInstructionSet(set);
        std::string name = ChooseEffectKernel(setup).name, pinned = set;
        fast = fast &&
               (pinned == "scalar" || (name != "table" && (pinned == "sse2" || !name.ends_with("sse2"))));
    }
    PinEffectInstructionSet(nullptr);
    return fast;
}

// Every amount of the 16-bit field, each channel with its own; every pair of amounts in
// 0..100; and every three of the amounts where the double formula differs from exact
// arithmetic, whose values the fast kernels correct. Amounts in 0..100 take fast kernels.
TEST(PixelEffectKernels, EveryKernelEqualsTheFormulaOverTheWholeRange) {
    KernelCheckRec check;
    for (int a = -32768; a <= 32767; ++a)
        if (!check.Check(SInt16(a), SInt16(-a - 1), SInt16(a ^ 0x5A5A))) return;
    std::vector<SInt16> corrected{0, 50, 100};
    for (int a = 0; a <= 100; ++a) {
        for (int b = 0; b <= 100; ++b) {
            if (!check.Check(SInt16(a), SInt16(b), SInt16((a + b) % 101))) return;
            ASSERT_TRUE(TakesFastKernels(check.setup)) << a << "," << b;
        }
        for (int c = 0; c < 256; ++c)
            if (oracle::Channel(c, a) != (c * (100 - a) + (255 - c) * a) / 100) {
                corrected.push_back(SInt16(a));
                break;
            }
    }
    ASSERT_EQ(corrected.size(), 16u); // 4, 8, 20, 28, ... 96
    for (SInt16 r : corrected)
        for (SInt16 g : corrected)
            for (SInt16 b : corrected) {
                if (!check.Check(r, g, b)) return;
                ASSERT_TRUE(TakesFastKernels(check.setup)) << r << "," << g << "," << b;
            }
    std::set<std::string> expected{"table", "xor-sse2", "linear-sse2"};
    std::vector<const char*> sets = EffectInstructionSets();
    if (sets.size() > 2) expected.insert({"xor-avx2", "linear-avx2"});
    if (sets.size() > 3) expected.insert("table-avx512vbmi");
    EXPECT_EQ(check.kernelsRun, expected);
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

// Listed values: S and I in doubles (200 at 30 is 156), and amounts beyond 100 saturate.
TEST(PixelEffectKernels, ListedChannelValues) {
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
                        want = PixRec{255, oracle::Channel(in.red, a[0]), oracle::Channel(in.green, a[1]),
                                      oracle::Channel(in.blue, a[2])};
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

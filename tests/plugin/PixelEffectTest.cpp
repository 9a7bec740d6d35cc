#include "render/pixelEffect.h"
#include "EffectOracle.h"
#include "model/DataHandling.h"
#include "PaddedBuffer.h"
#include "render/pixelKernels.h"

#include <gtest/gtest.h>

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

// Listed values: S and I in doubles (200 at 30 is 156), and amounts beyond 100 saturate.
TEST(PixelEffectKernels, ListedChannelValues) {
    EXPECT_EQ(InvertChannel(200, 30), 156);
    EXPECT_EQ(InvertChannel(0, 150), 255); // saturated, not wrapped to 126
    EXPECT_EQ(InvertChannel(255, 150), 0);
    EXPECT_EQ(InvertChannel(77, 50), 127);
}

// Inside the half-open rectangle the formula, outside an exact copy, into another buffer
// and in place (no dest, or dest the source itself); rectangles reaching outside the frame
// are cut to it; the memory around the pixels stays untouched, and both buffers end unlocked
// as they were.
TEST(PixelEffect, RectangleEdgesPaddedRowsAndInPlace) {
    PaddedBuffer src(37, 11), dst(37, 11);
    const SInt16 amounts[2][3] = {{30, 60, 90}, {100, 0, 100}}; // the general and the XOR form
    const Rect rects[] = {{2, 3, 9, 30}, {-5, -5, 4, 50}, {0, 0, 1, 1},
                          {5, 5, 5, 9},  {20, 0, 30, 10}, {0, 0, 11, 37}};
    for (const auto& a : amounts)
        for (const Rect& r : rects)
            for (int target = 0; target < 3; ++target) {
                SCOPED_TRACE(testing::Message() << "rect " << r.left << "," << r.top << " target " << target);
                PluginDataRec cfg = ConfigWith(a[0], a[1], a[2]);
                src.FillPattern(3);
                dst.Fill(PixRec{1, 2, 3, 4});
                const std::vector<PixRec> in = src.Pixels();
                PixelEffect(src.gw(),
                            target == 0   ? dst.gw()
                            : target == 1 ? nullptr
                                          : src.gw(),
                            r, true, &cfg);
                PaddedBuffer& out = target == 0 ? dst : src;
                for (int y = 0; y < 11; ++y)
                    for (int x = 0; x < 37; ++x) {
                        PixRec want = in[size_t(y * 37 + x)];
                        if (y >= r.top && y < r.bottom && x >= r.left && x < r.right)
                            want =
                                PixRec{255, oracle::Channel(want.red, a[0]),
                                       oracle::Channel(want.green, a[1]), oracle::Channel(want.blue, a[2])};
                        ASSERT_EQ(out.At(x, y), want) << x << "," << y;
                    }
                ASSERT_TRUE(src.GuardsIntact() && dst.GuardsIntact());
                ASSERT_FALSE(src.Locked() || dst.Locked());
            }
}

TEST(PixelEffect, BuffersOfDifferentSizeAndAMissingConfigurationChangeNothing) {
    PaddedBuffer src(4, 4), dst(4, 5, PixRec{9, 9, 9, 9});
    src.FillPattern(1);
    PluginDataRec cfg = ConfigWith(100, 100, 100);
    PixelEffect(src.gw(), dst.gw(), Rect{0, 0, 4, 4}, true, &cfg);
    PixelEffect(src.gw(), src.gw(), Rect{0, 0, 4, 4}, true, nullptr);
    PixelEffect(nullptr, nullptr, Rect{0, 0, 4, 4}, true, &cfg);
    EXPECT_EQ(dst.Pixels(), std::vector<PixRec>(20, PixRec{9, 9, 9, 9}));
    EXPECT_EQ(src.At(3, 3),
              (PixRec{UInt8(1 + 21 + 3), UInt8(1 + 30 + 9), UInt8(1 + 15 + 33), UInt8(1 + 3 + 51)}));
}

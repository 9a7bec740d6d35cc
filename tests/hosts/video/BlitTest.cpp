// The host's Blit: opacity mixing per channel, scaling, clipping, and overlapping copies.
#include "common/Blit.h"

#include "EffectOracle.h"

#include "toolbox/QuickDraw.h"

#include <gtest/gtest.h>

#include <array>

namespace {

// A 32-bit buffer whose top-left pixel is (left, top).
struct Buffer {
    GWorldPtr world = nullptr;
    Rect bounds;
    Buffer(int w, int h, int left = 0, int top = 0)
        : bounds{SInt16(top), SInt16(left), SInt16(top + h), SInt16(left + w)} {
        EXPECT_EQ(NewGWorld(&world, 32, &bounds, nullptr, nullptr, 0), noErr);
    }
    ~Buffer() { DisposeGWorld(world); }
    PixMapHandle pm() const { return GetGWorldPixMap(world); }
    UInt8* At(int h, int v) const {
        return reinterpret_cast<UInt8*>(GetPixBaseAddr(pm())) + (v - bounds.top) * GetPixRowBytes(pm()) +
               4 * (h - bounds.left);
    }
    // Every byte becomes byte(h, v, channel).
    template <typename F>
    void Paint(F byte) {
        for (int v = bounds.top; v < bounds.bottom; ++v)
            for (int h = bounds.left; h < bounds.right; ++h)
                for (int c = 0; c < 4; ++c)
                    At(h, v)[c] = UInt8(byte(h, v, c));
    }
};

TEST(Blit, MixesEveryChannelWithTheOpacity) {
    // Rows of 37 pixels: whole blocks of the vector loop and a tail, every byte value.
    constexpr int kW = 37;
    auto src = [](int h, int v, int c) { return ((v * kW + h) * 4 + c) * 7; };
    auto dst = [](int h, int v, int c) { return ((v * kW + h) * 4 + c) * 11 + 5; };
    for (int opacity = -5; opacity <= 300; ++opacity) {
        Buffer s(kW, 2), d(kW, 2);
        s.Paint(src);
        d.Paint(dst);
        Rect r{0, 0, 2, kW};
        ASSERT_EQ(hosts::BlitPixMaps(s.pm(), d.pm(), &r, &r, SInt16(opacity)), kPluginOK);
        for (int v = 0; v < 2; ++v)
            for (int h = 0; h < kW; ++h)
                for (int c = 0; c < 4; ++c)
                    ASSERT_EQ(d.At(h, v)[c], oracle::Blend(UInt8(src(h, v, c)), UInt8(dst(h, v, c)),
                                                           std::clamp(opacity, 0, 255)))
                        << "opacity " << opacity << " at " << h << "," << v << " channel " << c;
    }
}

// At full opacity from a 4 x 4 source at (10, 20), whose pixel (h, v) has green
// 1 + (h - 10) + 4 (v - 20), onto a 4 x 4 destination at (0, 0) of green 200, or within the
// source itself: the greens of the buffer written to, row by row. Missing arguments are refused.
TEST(Blit, ScalesClipsToBothBuffersCopiesWithinOneAsIfThroughACopyAndRefusesMissingArguments) {
    struct Case {
        const char* what;
        Rect srcRect, dstRect;
        bool withinSource;
        std::array<int, 16> want;
    };
    const Case cases[] = {
        {"twice as large, nearest neighbour",
         {20, 10, 22, 12},
         {0, 0, 4, 4},
         false,
         {1, 1, 2, 2, 1, 1, 2, 2, 5, 5, 6, 6, 5, 5, 6, 6}},
        {"past the source's right and bottom edges, over the destination's top edge",
         {21, 12, 25, 16},
         {-1, 1, 3, 5},
         false,
         {200, 11, 12, 200, 200, 15, 16, 200, 200, 200, 200, 200, 200, 200, 200, 200}},
        {"an empty source rectangle",
         {21, 11, 21, 13},
         {0, 0, 4, 4},
         false,
         {200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200}},
        {"one pixel to the right within the source",
         {20, 10, 21, 13},
         {20, 11, 21, 14},
         true,
         {1, 1, 2, 3, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}},
    };
    for (const Case& c : cases) {
        Buffer s(4, 4, 10, 20), d(4, 4);
        s.Paint([](int h, int v, int) { return 1 + (h - 10) + 4 * (v - 20); });
        d.Paint([](int, int, int) { return 200; });
        const Buffer& written = c.withinSource ? s : d;
        ASSERT_EQ(hosts::BlitPixMaps(s.pm(), written.pm(), &c.srcRect, &c.dstRect, 255), kPluginOK);
        std::array<int, 16> got;
        for (int i = 0; i < 16; ++i)
            got[size_t(i)] = written.At(written.bounds.left + i % 4, written.bounds.top + i / 4)[1];
        EXPECT_EQ(got, c.want) << c.what;
    }
    Buffer s(2, 2), d(2, 2);
    Rect r{0, 0, 2, 2};
    EXPECT_EQ(hosts::BlitPixMaps(nullptr, d.pm(), &r, &r, 255), kPluginBadParams);
    EXPECT_EQ(hosts::BlitPixMaps(s.pm(), nullptr, &r, &r, 255), kPluginBadParams);
    EXPECT_EQ(hosts::BlitPixMaps(s.pm(), d.pm(), nullptr, &r, 255), kPluginBadParams);
}

} // namespace

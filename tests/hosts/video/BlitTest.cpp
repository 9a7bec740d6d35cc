// The host's Blit: opacity mixing per channel, scaling, clipping, and overlapping copies.
#include "common/Blit.h"

#include "toolbox/QuickDraw.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

namespace {

struct Buffer {
    GWorldPtr world = nullptr;
    Buffer(int w, int h, int left = 0, int top = 0) {
        Rect r{SInt16(top), SInt16(left), SInt16(top + h), SInt16(left + w)};
        EXPECT_EQ(NewGWorld(&world, 32, &r, nullptr, nullptr, 0), noErr);
        Fill({0, 0, 0, 0});
    }
    ~Buffer() { DisposeGWorld(world); }
    PixMapHandle pm() const { return GetGWorldPixMap(world); }
    Rect Bounds() const {
        Rect r;
        GetPortBounds(world, &r);
        return r;
    }
    UInt8* At(int h, int v) const {
        Rect b = Bounds();
        return reinterpret_cast<UInt8*>(GetPixBaseAddr(pm())) + (v - b.top) * GetPixRowBytes(pm()) +
               4 * (h - b.left);
    }
    std::array<UInt8, 4> Get(int h, int v) const {
        std::array<UInt8, 4> p;
        std::memcpy(p.data(), At(h, v), 4);
        return p;
    }
    void Set(int h, int v, std::array<UInt8, 4> p) { std::memcpy(At(h, v), p.data(), 4); }
    void Fill(std::array<UInt8, 4> p) {
        Rect b = Bounds();
        for (int v = b.top; v < b.bottom; ++v)
            for (int h = b.left; h < b.right; ++h)
                Set(h, v, p);
    }
};

UInt8 Mix(int s, int d, int a) {
    return UInt8((s * a + d * (255 - a) + 127) / 255);
}

TEST(Blit, MixesEveryChannelWithTheOpacity) {
    // Rows of 37 pixels: whole blocks of the vector loop and a tail, every byte value.
    constexpr int kW = 37;
    auto src = [](int h, int v) {
        int n = (v * kW + h) * 4;
        return std::array<UInt8, 4>{UInt8(n * 7), UInt8(n * 7 + 1), UInt8(255 - n), UInt8(n * 13)};
    };
    auto dst = [](int h, int v) {
        int n = (v * kW + h) * 4;
        return std::array<UInt8, 4>{UInt8(n * 3 + 5), UInt8(n), UInt8(n * 11), UInt8(255 - n * 5)};
    };
    for (int opacity = -5; opacity <= 300; ++opacity) {
        Buffer s(kW, 2), d(kW, 2);
        for (int v = 0; v < 2; ++v)
            for (int h = 0; h < kW; ++h) {
                s.Set(h, v, src(h, v));
                d.Set(h, v, dst(h, v));
            }
        Rect r{0, 0, 2, kW};
        ASSERT_EQ(hosts::BlitPixMaps(s.pm(), d.pm(), &r, &r, SInt16(opacity)), kPluginOK);
        int a = std::clamp(opacity, 0, 255);
        for (int v = 0; v < 2; ++v)
            for (int h = 0; h < kW; ++h)
                for (int c = 0; c < 4; ++c)
                    ASSERT_EQ(d.Get(h, v)[c], Mix(src(h, v)[size_t(c)], dst(h, v)[size_t(c)], a))
                        << "opacity " << opacity << " at " << h << "," << v << " channel " << c;
    }
}

TEST(Blit, ScalesByNearestNeighbourBetweenRectangles) {
    Buffer s(2, 2), d(4, 4);
    s.Set(0, 0, {255, 1, 0, 0});
    s.Set(1, 0, {255, 2, 0, 0});
    s.Set(0, 1, {255, 3, 0, 0});
    s.Set(1, 1, {255, 4, 0, 0});
    Rect sr{0, 0, 2, 2}, dr{0, 0, 4, 4};
    ASSERT_EQ(hosts::BlitPixMaps(s.pm(), d.pm(), &sr, &dr, 255), kPluginOK);
    const int expected[4][4] = {{1, 1, 2, 2}, {1, 1, 2, 2}, {3, 3, 4, 4}, {3, 3, 4, 4}};
    for (int v = 0; v < 4; ++v)
        for (int h = 0; h < 4; ++h)
            EXPECT_EQ(d.Get(h, v)[1], expected[v][h]) << h << "," << v;
}

TEST(Blit, TouchesOnlyPixelsInsideBothBuffers) {
    // Source with its own origin; destination rectangle hanging over the destination's edges.
    Buffer s(4, 4, 10, 20), d(4, 4);
    s.Fill({255, 9, 9, 9});
    d.Fill({1, 1, 1, 1});
    Rect sr{20, 8, 24, 12}; // half of it left of the source's bounds
    Rect dr{-2, 2, 2, 6};   // half of it above and right of the destination
    ASSERT_EQ(hosts::BlitPixMaps(s.pm(), d.pm(), &sr, &dr, 255), kPluginOK);
    for (int v = 0; v < 4; ++v)
        for (int h = 0; h < 4; ++h) {
            bool covered = v < 2 && h >= 2 && h - 2 >= 2; // inside dr, and its source inside s
            EXPECT_EQ(d.Get(h, v)[1], covered ? 9 : 1) << h << "," << v;
        }
}

TEST(Blit, CopiesWithinOneBufferAsIfThroughACopy) {
    Buffer b(5, 1);
    for (int h = 0; h < 5; ++h)
        b.Set(h, 0, {255, UInt8(h), 0, 0});
    Rect sr{0, 0, 1, 4}, dr{0, 1, 1, 5};
    ASSERT_EQ(hosts::BlitPixMaps(b.pm(), b.pm(), &sr, &dr, 255), kPluginOK);
    for (int h = 0; h < 5; ++h)
        EXPECT_EQ(b.Get(h, 0)[1], h == 0 ? 0 : h - 1);
}

TEST(Blit, RefusesMissingArgumentsAndIgnoresEmptyRectangles) {
    Buffer s(2, 2), d(2, 2);
    Rect r{0, 0, 2, 2}, empty{1, 1, 1, 2};
    EXPECT_EQ(hosts::BlitPixMaps(nullptr, d.pm(), &r, &r, 255), kPluginBadParams);
    EXPECT_EQ(hosts::BlitPixMaps(s.pm(), nullptr, &r, &r, 255), kPluginBadParams);
    EXPECT_EQ(hosts::BlitPixMaps(s.pm(), d.pm(), nullptr, &r, 255), kPluginBadParams);
    s.Fill({7, 7, 7, 7});
    EXPECT_EQ(hosts::BlitPixMaps(s.pm(), d.pm(), &empty, &r, 255), kPluginOK);
    EXPECT_EQ(d.Get(0, 0)[0], 0);
}

} // namespace

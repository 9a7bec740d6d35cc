// Bitmap contexts and the QuickDraw bridge, probed pixel by pixel.
#include "toolbox/Quartz.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

namespace {

using Px = std::array<int, 4>; // alpha, red, green, blue

// A w x h context over its own vector, rows padded by 8 bytes that must never change.
struct Canvas {
    int w, h;
    long rowBytes;
    std::vector<UInt8> mem;
    CGContextRef cg = nullptr;
    Canvas(int width, int height)
        : w(width), h(height), rowBytes(4 * width + 8), mem(size_t(rowBytes * height), 0xA5) {
        CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
        cg = CGBitmapContextCreate(mem.data(), size_t(w), size_t(h), 8, size_t(rowBytes), space,
                                   kCGImageAlphaPremultipliedFirst);
        CGColorSpaceRelease(space);
        Fill({0, 0, 0, 0});
    }
    ~Canvas() { CGContextRelease(cg); }
    Px At(int x, int y) const { // y counted from the top row of memory
        const UInt8* p = &mem[size_t(y * rowBytes + 4 * x)];
        return {p[0], p[1], p[2], p[3]};
    }
    void Fill(Px c) {
        for (int y = 0; y < h; ++y)
            for (int i = 0; i < 4 * w; ++i)
                mem[size_t(y * rowBytes + i)] = UInt8(c[size_t(i % 4)]);
    }
    bool PaddingIntact() const {
        for (int y = 0; y < h; ++y)
            for (int i = 4 * w; i < rowBytes; ++i)
                if (mem[size_t(y * rowBytes + i)] != 0xA5) return false;
        return true;
    }
};

CGImageRef ImageOf(const std::vector<Px>& pixels, int w, int h) {
    std::vector<UInt8> bytes;
    for (const Px& p : pixels)
        bytes.insert(bytes.end(), p.begin(), p.end());
    CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
    CGDataProviderRef provider = CGDataProviderCreateWithData(nullptr, bytes.data(), bytes.size(), nullptr);
    CGImageRef image =
        CGImageCreate(size_t(w), size_t(h), 8, 32, size_t(4 * w), space, kCGImageAlphaPremultipliedFirst,
                      provider, nullptr, false, kCGRenderingIntentDefault);
    CGDataProviderRelease(provider);
    CGColorSpaceRelease(space);
    return image;
}

CGRect R(float x, float y, float w, float h) {
    return CGRect{{x, y}, {w, h}};
}

const Px kWhite{255, 255, 255, 255}, kBlack{255, 0, 0, 0};

} // namespace

TEST(QuartzContext, FillBlendsWithAlphaAndPartlyCoveredPixelsInProportion) {
    Canvas c(4, 1);
    c.Fill(kWhite);
    CGContextSetRGBFillColor(c.cg, 1, 0, 0, 0.5f);
    CGContextFillRect(c.cg, R(0, 0, 1, 1));
    EXPECT_EQ(c.At(0, 0), (Px{255, 255, 128, 128}));
    CGContextSetRGBFillColor(c.cg, 0, 0, 0, 1);
    CGContextFillRect(c.cg, R(2.5f, 0, 1, 1)); // half of pixel 2, half of pixel 3
    EXPECT_EQ(c.At(2, 0), (Px{255, 128, 128, 128}));
    EXPECT_EQ(c.At(3, 0), (Px{255, 128, 128, 128}));
    EXPECT_EQ(c.At(1, 0), kWhite);
    // A negative size names the same rectangle from its other corner.
    CGContextFillRect(c.cg, R(2, 1, 1, -1));
    EXPECT_EQ(c.At(2, 0), kBlack);
    EXPECT_TRUE(c.PaddingIntact());
}

TEST(QuartzContext, ScaledImageIsBilinearAndItsEdgesStayOpaque) {
    CGImageRef image = ImageOf({kBlack, kWhite}, 2, 1);
    Canvas c(4, 2);
    CGContextDrawImage(c.cg, R(0, 0, 4, 2), image);
    for (int y = 0; y < 2; ++y) {
        EXPECT_EQ(c.At(0, y), kBlack);
        EXPECT_EQ(c.At(1, y), (Px{255, 64, 64, 64}));
        EXPECT_EQ(c.At(2, y), (Px{255, 191, 191, 191}));
        EXPECT_EQ(c.At(3, y), kWhite);
    }
    CGImageRelease(image);
}

TEST(QuartzBridge, PortContextDrawsInThePortWithinItsClipAndEndsCleanly) {
    GWorldPtr gw = nullptr;
    const Rect bounds{0, 0, 10, 20}; // 20 wide, 10 high
    ASSERT_EQ(NewGWorld(&gw, 32, &bounds, nullptr, nullptr, 0), noErr);
    LockPixels(GetGWorldPixMap(gw));
    CGrafPtr savedPort;
    GDHandle savedDevice;
    GetGWorld(&savedPort, &savedDevice);
    SetGWorld(gw, nullptr);
    const RGBColor white{0xFFFF, 0xFFFF, 0xFFFF};
    RGBForeColor(&white);
    PaintRect(&bounds);
    const Rect clip{0, 0, 10, 15};
    ClipRect(&clip);
    SetGWorld(savedPort, savedDevice);

    CGContextRef cg = nullptr;
    ASSERT_EQ(QDBeginCGContext(gw, &cg), noErr);
    CGContextSetRGBFillColor(cg, 0, 0, 0, 1);
    CGContextFillRect(cg, R(10, 0, 10, 3)); // the QuickDraw rows 7..9, columns 10..19 clipped at 15
    CGContextFlush(cg);
    EXPECT_EQ(QDEndCGContext(gw, &cg), noErr);
    EXPECT_EQ(cg, nullptr);

    const UInt8* base = reinterpret_cast<const UInt8*>(GetPixBaseAddr(GetGWorldPixMap(gw)));
    const long rowBytes = GetPixRowBytes(GetGWorldPixMap(gw));
    for (int v = 0; v < 10; ++v)
        for (int h = 0; h < 20; ++h) {
            const bool black = v >= 7 && h >= 10 && h < 15;
            EXPECT_EQ(base[v * rowBytes + 4 * h + 1], black ? 0 : 255) << h << "," << v;
        }

    EXPECT_EQ(QDBeginCGContext(nullptr, &cg), paramErr);
    EXPECT_EQ(QDBeginCGContext(gw, nullptr), paramErr);
    EXPECT_EQ(QDEndCGContext(gw, &cg), paramErr);
    DisposeGWorld(gw);
}

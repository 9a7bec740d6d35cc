// Images, bitmap contexts and the QuickDraw bridge, probed pixel by pixel.
#include "toolbox/Quartz.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace {

using Px = std::array<int, 4>; // alpha, red, green, blue

const Px kWhite{255, 255, 255, 255}, kBlack{255, 0, 0, 0};

// An image of w x h pixels made from bytes whose rows are rowBytes apart.
CGImageRef ImageOf(const std::vector<UInt8>& bytes, size_t w, size_t h, size_t rowBytes) {
    CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
    CGDataProviderRef provider = CGDataProviderCreateWithData(nullptr, bytes.data(), bytes.size(), nullptr);
    CGImageRef image = CGImageCreate(w, h, 8, 32, rowBytes, space, kCGImageAlphaPremultipliedFirst, provider,
                                     nullptr, false, kCGRenderingIntentDefault);
    CGDataProviderRelease(provider);
    CGColorSpaceRelease(space);
    return image;
}

// A w x h context over its own vector, rows padded by 8 bytes that must never change.
struct Canvas {
    int w, h;
    long rowBytes;
    std::vector<UInt8> mem;
    CGContextRef cg = nullptr;
    Canvas(int width, int height, Px fill)
        : w(width), h(height), rowBytes(4 * width + 8), mem(size_t(rowBytes * height), 0xA5) {
        CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
        cg = CGBitmapContextCreate(mem.data(), size_t(w), size_t(h), 8, size_t(rowBytes), space,
                                   kCGImageAlphaPremultipliedFirst);
        CGColorSpaceRelease(space);
        for (int y = 0; y < h; ++y)
            for (int i = 0; i < 4 * w; ++i)
                mem[size_t(y * rowBytes + i)] = UInt8(fill[size_t(i % 4)]);
    }
    ~Canvas() { CGContextRelease(cg); }
    Px At(int x, int y) const { // y counted from the top row of memory
        const UInt8* p = &mem[size_t(y * rowBytes + 4 * x)];
        return {p[0], p[1], p[2], p[3]};
    }
    bool PaddingIntact() const {
        for (int y = 0; y < h; ++y)
            for (int i = 4 * w; i < rowBytes; ++i)
                if (mem[size_t(y * rowBytes + i)] != 0xA5) return false;
        return true;
    }
};

CGRect R(float x, float y, float w, float h) {
    return CGRect{{x, y}, {w, h}};
}

} // namespace

TEST(Images, AnImageKeepsItsOwnCopyWithoutRowPaddingAndShortDataGivesNone) {
    std::vector<UInt8> pixels(3 * 12); // 2 × 3 pixels, 12 bytes a row, 4 of them padding
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = UInt8(i);
    CGImageRef image = ImageOf(pixels, 2, 3, 12);
    ASSERT_NE(image, nullptr);
    pixels.assign(pixels.size(), 0);
    EXPECT_EQ(CGImageGetWidth(image), 2u);
    EXPECT_EQ(CGImageGetHeight(image), 3u);
    EXPECT_EQ(toolbox::CGImagePixels(image)[8], 12); // row 1 starts with byte 12 of the source
    EXPECT_EQ(toolbox::CGImagePixels(image)[23], 31);
    // A copy lives on after the last reference to the original.
    CGImageRef copy = CGImageCreateCopy(image);
    ASSERT_NE(copy, image);
    EXPECT_EQ(CGImageRetain(image), image);
    CGImageRelease(image);
    CGImageRelease(image);
    EXPECT_EQ(toolbox::CGImagePixels(copy)[23], 31);
    CGImageRelease(copy);
    EXPECT_EQ(CGImageCreateCopy(nullptr), nullptr);
    // One byte short, rows narrower than the pixels, no width.
    EXPECT_EQ(ImageOf(std::vector<UInt8>(15), 2, 2, 8), nullptr);
    EXPECT_EQ(ImageOf(std::vector<UInt8>(16), 2, 2, 4), nullptr);
    EXPECT_EQ(ImageOf(std::vector<UInt8>(16), 0, 2, 8), nullptr);
}

TEST(QuartzContext, FillBlendsWithAlphaAndPartlyCoveredPixelsInProportion) {
    Canvas c(4, 1, kWhite);
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
    CGImageRef image = ImageOf({255, 0, 0, 0, 255, 255, 255, 255}, 2, 1, 8); // black, white
    Canvas c(4, 2, {0, 0, 0, 0});
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
    {
        SavedGWorldRec saved;
        SetGWorld(gw, nullptr);
        const RGBColor white{0xFFFF, 0xFFFF, 0xFFFF};
        RGBForeColor(&white);
        PaintRect(&bounds);
        const Rect clip{0, 0, 10, 15};
        ClipRect(&clip);
    }

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
        for (int h = 0; h < 20; ++h)
            EXPECT_EQ(base[v * rowBytes + 4 * h + 1], v >= 7 && h >= 10 && h < 15 ? 0 : 255) << h << "," << v;

    EXPECT_EQ(QDBeginCGContext(nullptr, &cg), paramErr);
    EXPECT_EQ(QDBeginCGContext(gw, nullptr), paramErr);
    EXPECT_EQ(QDEndCGContext(gw, &cg), paramErr);
    DisposeGWorld(gw);
}

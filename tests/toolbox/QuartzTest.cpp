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
        : w(width), h(height), rowBytes(4 * width + 8), mem(size_t(rowBytes * height), 0) {
        for (int y = 0; y < h; ++y)
            for (int i = 4 * w; i < rowBytes; ++i)
                mem[size_t(y * rowBytes + i)] = 0xA5;
        CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
        cg = CGBitmapContextCreate(mem.data(), size_t(w), size_t(h), 8, size_t(rowBytes), space,
                                   kCGImageAlphaPremultipliedFirst);
        CGColorSpaceRelease(space);
    }
    ~Canvas() { CGContextRelease(cg); }
    Px At(int x, int y) const { // y counted from the top row of memory
        const UInt8* p = &mem[size_t(y * rowBytes + 4 * x)];
        return {p[0], p[1], p[2], p[3]};
    }
    void Fill(Px c) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                for (int i = 0; i < 4; ++i)
                    mem[size_t(y * rowBytes + 4 * x + i)] = UInt8(c[size_t(i)]);
    }
    bool PaddingIntact() const {
        for (int y = 0; y < h; ++y)
            for (int i = 4 * w; i < rowBytes; ++i)
                if (mem[size_t(y * rowBytes + i)] != 0xA5) return false;
        return true;
    }
};

CGImageRef ImageOf(const std::vector<Px>& pixels, int w, int h,
                   CGBitmapInfo info = kCGImageAlphaPremultipliedFirst) {
    std::vector<UInt8> bytes;
    for (const Px& p : pixels)
        for (int c : p)
            bytes.push_back(UInt8(c));
    CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
    CGDataProviderRef provider = CGDataProviderCreateWithData(nullptr, bytes.data(), bytes.size(), nullptr);
    CGImageRef image = CGImageCreate(size_t(w), size_t(h), 8, 32, size_t(4 * w), space, info, provider,
                                     nullptr, false, kCGRenderingIntentDefault);
    CGDataProviderRelease(provider);
    CGColorSpaceRelease(space);
    return image;
}

CGRect R(float x, float y, float w, float h) {
    return CGRect{{x, y}, {w, h}};
}

const Px kWhite{255, 255, 255, 255}, kBlack{255, 0, 0, 0}, kClear{0, 0, 0, 0};
const Px kRed{255, 255, 0, 0}, kGreen{255, 0, 255, 0}, kBlue{255, 0, 0, 255}, kGrey{255, 9, 99, 199};

} // namespace

TEST(QuartzContext, OriginIsBottomLeftAndEdgesOnWholePixelsAreHard) {
    Canvas c(4, 3);
    ASSERT_NE(c.cg, nullptr);
    CGContextSetRGBFillColor(c.cg, 1, 0, 0, 1);
    CGContextFillRect(c.cg, R(1, 0, 2, 1));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(c.At(x, y), (y == 2 && (x == 1 || x == 2)) ? kRed : kClear) << x << "," << y;
    EXPECT_TRUE(c.PaddingIntact());
}

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
}

TEST(QuartzContext, ClearMakesTransparentAndGlobalAlphaIsPartOfTheSavedState) {
    Canvas c(3, 1);
    c.Fill(kWhite);
    CGContextClearRect(c.cg, R(1, 0, 5, 5)); // clipped to the pixels
    EXPECT_EQ(c.At(0, 0), kWhite);
    EXPECT_EQ(c.At(1, 0), kClear);
    EXPECT_EQ(c.At(2, 0), kClear);
    EXPECT_TRUE(c.PaddingIntact());

    c.Fill(kWhite);
    CGContextSetRGBFillColor(c.cg, 0, 0, 0, 1);
    CGContextSetAlpha(c.cg, 0.5f);
    CGContextSaveGState(c.cg);
    CGContextSetAlpha(c.cg, 1);
    CGContextTranslateCTM(c.cg, 1, 0);
    CGContextFillRect(c.cg, R(0, 0, 1, 1));
    CGContextRestoreGState(c.cg);
    CGContextRestoreGState(c.cg); // one restore too many does nothing
    CGContextFillRect(c.cg, R(0, 0, 1, 1));
    EXPECT_EQ(c.At(0, 0), (Px{255, 128, 128, 128}));
    EXPECT_EQ(c.At(1, 0), kBlack);
}

TEST(QuartzContext, ImageDrawnAtItsOwnSizeKeepsEveryPixelAndTopRowUp) {
    std::vector<Px> px;
    for (int i = 0; i < 12; ++i)
        px.push_back({255, 20 * i, 255 - 20 * i, (37 * i) % 256});
    CGImageRef image = ImageOf(px, 4, 3);
    Canvas c(6, 5);
    c.Fill(kGrey);
    CGContextDrawImage(c.cg, R(1, 1, 4, 3), image); // rows 1..3 from the top of memory
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x) {
            const bool inside = x >= 1 && x < 5 && y >= 1 && y < 4;
            EXPECT_EQ(c.At(x, y), inside ? px[size_t((y - 1) * 4 + x - 1)] : kGrey) << x << "," << y;
        }
    CGImageRelease(image);
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

TEST(QuartzContext, ImageWithGlobalAlphaAndUnpremultipliedSourcesBlendOver) {
    CGImageRef image = ImageOf({kBlack}, 1, 1);
    Canvas c(1, 1);
    c.Fill(kWhite);
    CGContextSetAlpha(c.cg, 0.25f);
    CGContextDrawImage(c.cg, R(0, 0, 1, 1), image);
    EXPECT_EQ(c.At(0, 0), (Px{255, 191, 191, 191}));
    CGContextSetAlpha(c.cg, 0);
    CGContextDrawImage(c.cg, R(0, 0, 1, 1), image);
    EXPECT_EQ(c.At(0, 0), (Px{255, 191, 191, 191}));
    CGImageRelease(image);

    CGContextSetAlpha(c.cg, 1);
    c.Fill(kWhite);
    image = ImageOf({{128, 255, 0, 0}}, 1, 1, kCGImageAlphaFirst); // half-transparent red
    CGContextDrawImage(c.cg, R(0, 0, 1, 1), image);
    EXPECT_EQ(c.At(0, 0), (Px{255, 255, 127, 127}));
    CGImageRelease(image);
    image = ImageOf({{0, 0, 0, 255}}, 1, 1, kCGImageAlphaNoneSkipFirst); // the alpha byte is ignored
    CGContextDrawImage(c.cg, R(0, 0, 1, 1), image);
    EXPECT_EQ(c.At(0, 0), kBlue);
    CGImageRelease(image);
}

TEST(QuartzContext, RotationTurnsAboutTheTranslatedOriginCounterClockwise) {
    // Corners top-left red, top-right green, bottom-left blue, bottom-right white.
    CGImageRef image = ImageOf({kRed, kGreen, kBlue, kWhite}, 2, 2);
    Canvas c(2, 2);
    CGContextTranslateCTM(c.cg, 1, 1);
    CGContextRotateCTM(c.cg, float(M_PI / 2));
    CGContextDrawImage(c.cg, R(-1, -1, 2, 2), image);
    EXPECT_EQ(c.At(0, 0), kGreen); // the top-right corner has turned to the top left
    EXPECT_EQ(c.At(1, 0), kWhite);
    EXPECT_EQ(c.At(0, 1), kRed);
    EXPECT_EQ(c.At(1, 1), kBlue);
    CGImageRelease(image);

    // A turned square covers its middle fully and its rim partly.
    Canvas d(9, 9);
    CGContextTranslateCTM(d.cg, 4.5f, 4.5f);
    CGContextRotateCTM(d.cg, float(M_PI / 4));
    CGContextSetRGBFillColor(d.cg, 1, 1, 1, 1);
    CGContextFillRect(d.cg, R(-3, -3, 6, 6));
    EXPECT_EQ(d.At(4, 4), kWhite);
    EXPECT_EQ(d.At(0, 0), kClear);
    EXPECT_GT(d.At(4, 0)[0], 0);
    EXPECT_LT(d.At(4, 0)[0], 255);
}

TEST(QuartzContext, ImageOfAContextIsAnIndependentCopy) {
    Canvas c(2, 2);
    CGContextSetRGBFillColor(c.cg, 0, 0, 1, 1);
    CGContextFillRect(c.cg, R(0, 0, 2, 2));
    CGImageRef image = CGBitmapContextCreateImage(c.cg);
    ASSERT_NE(image, nullptr);
    CGContextClearRect(c.cg, R(0, 0, 2, 2));
    EXPECT_EQ(CGImageGetWidth(image), 2u);
    EXPECT_EQ(CGImageGetBitmapInfo(image) & kCGBitmapAlphaInfoMask, UInt32(kCGImageAlphaPremultipliedFirst));
    const UInt8* p = toolbox::CGImagePixels(image);
    EXPECT_EQ((Px{p[12], p[13], p[14], p[15]}), kBlue);
    CGImageRelease(image);
}

TEST(QuartzContext, UnsupportedLayoutsGiveNoContextAndNullsAreHarmless) {
    std::vector<UInt8> mem(64);
    CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
    EXPECT_EQ(CGBitmapContextCreate(mem.data(), 4, 4, 8, 12, space, kCGImageAlphaPremultipliedFirst),
              nullptr);
    EXPECT_EQ(CGBitmapContextCreate(mem.data(), 4, 4, 8, 16, space, kCGImageAlphaPremultipliedLast), nullptr);
    EXPECT_EQ(CGBitmapContextCreate(mem.data(), 4, 4, 16, 16, space, kCGImageAlphaPremultipliedFirst),
              nullptr);
    EXPECT_EQ(CGBitmapContextCreate(mem.data(), 4, 4, 8, 16, nullptr, kCGImageAlphaPremultipliedFirst),
              nullptr);
    CGContextRef own = CGBitmapContextCreate(nullptr, 3, 3, 8, 12, space, kCGImageAlphaPremultipliedFirst);
    ASSERT_NE(own, nullptr); // memory of its own, zeroed
    CGImageRef image = CGBitmapContextCreateImage(own);
    EXPECT_EQ(toolbox::CGImagePixels(image)[35], 0);
    CGContextDrawImage(own, R(0, 0, 3, 3), nullptr);
    CGImageRelease(image);
    CGContextRelease(own);
    CGContextFillRect(nullptr, R(0, 0, 1, 1));
    CGContextRelease(nullptr);

    const CGFloat comps[4] = {2.0f, 0.5f, -1.0f, 1.0f};
    CGColorRef color = CGColorCreate(space, comps);
    ASSERT_EQ(CGColorGetNumberOfComponents(color), 4u);
    EXPECT_EQ(CGColorGetComponents(color)[0], 1.0f); // pinned to 0..1
    EXPECT_EQ(CGColorGetComponents(color)[1], 0.5f);
    EXPECT_EQ(CGColorGetComponents(color)[2], 0.0f);
    EXPECT_EQ(CGColorCreate(nullptr, comps), nullptr);
    CGColorRelease(color);
    CGColorSpaceRelease(space);
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
    CGContextRef kept = CGContextRetain(cg);
    EXPECT_EQ(QDEndCGContext(gw, &cg), noErr);
    EXPECT_EQ(cg, nullptr);
    CGContextFillRect(kept, R(0, 0, 20, 10)); // an ended context no longer draws
    CGContextRelease(kept);

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

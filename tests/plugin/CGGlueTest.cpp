// The Quartz bridge and the dialog's preview routines, probed pixel by pixel in real buffers.
#include "render/CGGlue.h"
#include "render/lineEffect.h"
#include "render/pixelBuffers.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

namespace {

using Px = std::array<int, 4>; // alpha, red, green, blue
const Px kWhite{255, 255, 255, 255}, kBlack{255, 0, 0, 0}, kRed{255, 255, 0, 0}, kGreen{255, 0, 255, 0},
    kBlue{255, 0, 0, 255}, kYellow{255, 255, 255, 0};

struct Buffer {
    GWorldPtr gw;
    Buffer(SInt16 w, SInt16 h, RGBColor fill = RGBColor{0xFFFF, 0xFFFF, 0xFFFF}) : gw(AllocateGWorld(w, h)) {
        ClearGW(gw, fill);
    }
    ~Buffer() { DisposeGWorld(gw); }
    Px At(int h, int v) const {
        PixRec p;
        PGetPixel(GetPixBaseAddr(GetGWorldPixMap(gw)), SInt32(GetPixRowBytes(GetGWorldPixMap(gw))), SInt16(h),
                  SInt16(v), p);
        return {p.alpha, p.red, p.green, p.blue};
    }
    void Set(int h, int v, Px c) {
        PixRec p{UInt8(c[0]), UInt8(c[1]), UInt8(c[2]), UInt8(c[3])};
        PSetPixel(GetPixBaseAddr(GetGWorldPixMap(gw)), SInt32(GetPixRowBytes(GetGWorldPixMap(gw))), SInt16(h),
                  SInt16(v), &p);
    }
};

// A w x h image whose pixels come from colour(h, v).
template <typename Colour>
CGImageRef MakeImage(int w, int h, Colour colour) {
    Buffer b{SInt16(w), SInt16(h)};
    for (int v = 0; v < h; ++v)
        for (int x = 0; x < w; ++x)
            b.Set(x, v, colour(x, v));
    return GWorld2CGImage(b.gw);
}

// Corners: top-left red, top-right green, bottom-left blue, bottom-right yellow.
CGImageRef QuadrantImage(int w, int h) {
    return MakeImage(w, h, [w, h](int x, int v) {
        const bool right = x >= w / 2, bottom = v >= h / 2;
        return bottom ? (right ? kYellow : kBlue) : (right ? kGreen : kRed);
    });
}

Px ImagePixel(CGImageRef image, int h, int v) {
    const UInt8* p = toolbox::CGImagePixels(image) + v * long(CGImageGetBytesPerRow(image)) + 4 * h;
    return {p[0], p[1], p[2], p[3]};
}

void ExpectRect(const CGRect& r, float x, float y, float w, float h) {
    EXPECT_EQ(r.origin.x, x);
    EXPECT_EQ(r.origin.y, y);
    EXPECT_EQ(r.size.width, w);
    EXPECT_EQ(r.size.height, h);
}

} // namespace

TEST(CGGlue, QuickDrawRectanglesMapToQuartzOnes) {
    ExpectRect(QDRectToGCRect(Rect{10, 20, 30, 60}, Rect{0, 0, 100, 200}), 20, 70, 40, 20);
    ExpectRect(QDRectToGCRect(Rect{0, 0, 100, 200}, Rect{0, 0, 100, 200}), 0, 0, 200, 100);
    ExpectRect(QDRectToGCRect(Rect{15, 5, 25, 10}, Rect{10, 5, 60, 105}), 10, 35, 5, 10);
    ExpectRect(QDCrop2CGCrop(Rect{10, 20, 30, 60}, nullptr), 20, 10, 40, 20);
    ExpectRect(CGRectMake(1.5f, -2, 3, 4), 1.5f, -2, 3, 4);
}

TEST(CGGlue, ImageDimensionsAndProportionalFit) {
    const Rect none = GetImageRect(nullptr);
    EXPECT_TRUE(none.top == 0 && none.left == 0 && none.bottom == 0 && none.right == 0);
    CGImageRef image = MakeImage(64, 48, [](int, int) { return kBlack; });
    SInt32 wid, hig;
    GetImageDims(image, wid, hig);
    EXPECT_EQ(wid, 64);
    EXPECT_EQ(hig, 48);
    const Rect r = GetImageRect(image);
    EXPECT_TRUE(r.top == 0 && r.left == 0 && r.bottom == 48 && r.right == 64);
    const Rect fit = CalcProportionalImageForFrame(image, Rect{0, 0, 32, 32});
    EXPECT_TRUE(fit.top == 0 && fit.left == 0 && fit.bottom == 24 && fit.right == 32);
    CGImageRelease(image);
}

TEST(CGGlue, ImageAtAngleZeroLandsExactlyInItsRectangle) {
    CGImageRef image = QuadrantImage(40, 20);
    Buffer b(200, 100);
    DrawCGImageInQDRect(b.gw, image, Rect{10, 20, 30, 60}, 0.0f, false);
    EXPECT_EQ(b.At(20, 10), kRed);
    EXPECT_EQ(b.At(59, 10), kGreen);
    EXPECT_EQ(b.At(20, 29), kBlue);
    EXPECT_EQ(b.At(59, 29), kYellow);
    for (auto [h, v] : {std::pair{19, 10}, {60, 10}, {20, 9}, {20, 30}, {60, 30}, {19, 29}})
        EXPECT_EQ(b.At(h, v), kWhite) << h << "," << v;
    // The buffer holds the image's pixels one for one.
    for (int v = 0; v < 20; ++v)
        for (int h = 0; h < 40; ++h)
            ASSERT_EQ(b.At(20 + h, 10 + v), ImagePixel(image, h, v)) << h << "," << v;
    CGImageRelease(image);
}

TEST(CGGlue, NonZeroAngleTurnsTheImageAboutTheRectanglesCentre) {
    CGImageRef image = QuadrantImage(20, 20);
    Buffer half(40, 40), quarter(40, 40);
    DrawCGImageInQDRect(half.gw, image, Rect{10, 10, 30, 30}, float(M_PI), false);
    EXPECT_EQ(half.At(10, 10), kYellow);
    EXPECT_EQ(half.At(29, 10), kBlue);
    EXPECT_EQ(half.At(10, 29), kGreen);
    EXPECT_EQ(half.At(29, 29), kRed);
    EXPECT_EQ(half.At(9, 9), kWhite);
    DrawCGImageInQDRect(quarter.gw, image, Rect{10, 10, 30, 30}, float(M_PI / 2), false);
    EXPECT_EQ(quarter.At(12, 12), kGreen); // counter-clockwise: the top-right quarter goes to the top left
    EXPECT_EQ(quarter.At(12, 27), kRed);
    EXPECT_EQ(quarter.At(27, 27), kBlue);
    EXPECT_EQ(quarter.At(27, 12), kYellow);
    CGImageRelease(image);
}

TEST(CGGlue, AlphaClearingAndNoImage) {
    CGImageRef black = MakeImage(2, 2, [](int, int) { return kBlack; });
    Buffer b(4, 1);
    DrawCGImageInQDRectWithAlpha(b.gw, black, Rect{0, 0, 1, 1}, 0.0f, false, 0.5, 0);
    DrawCGImageInQDRectWithAlpha(b.gw, black, Rect{0, 1, 1, 2}, 0.0f, false, -1.0, 0); // the context's alpha
    DrawCGImageInQDRectWithAlpha(b.gw, nullptr, Rect{0, 2, 1, 3}, 0.0f, true, 1.0, 0);
    EXPECT_EQ(b.At(0, 0), (Px{255, 128, 128, 128}));
    EXPECT_EQ(b.At(1, 0), kBlack);
    EXPECT_EQ(b.At(2, 0), kWhite);
    CGImageRelease(black);

    // Clearing first leaves the image's own transparency, not the background under it.
    CGImageRef clear = MakeImage(1, 1, [](int, int) { return Px{0, 0, 0, 0}; });
    DrawCGImageInQDRect(b.gw, clear, Rect{0, 3, 1, 4}, 0.0f, true);
    EXPECT_EQ(b.At(3, 0), (Px{0, 0, 0, 0}));
    DrawCGImageInQDRect(b.gw, clear, Rect{0, 2, 1, 3}, 0.0f, false);
    EXPECT_EQ(b.At(2, 0), kWhite);
    CGImageRelease(clear);
}

TEST(CGGlue, ClearAndPaintWithAlphaStayInTheirRectangle) {
    Buffer b(10, 10);
    GWClearRect(b.gw, Rect{2, 2, 4, 4});
    EXPECT_EQ(b.At(2, 2), (Px{0, 0, 0, 0}));
    EXPECT_EQ(b.At(3, 3), (Px{0, 0, 0, 0}));
    EXPECT_EQ(b.At(4, 3), kWhite);
    EXPECT_EQ(b.At(1, 2), kWhite);
    GWPaintRectWithAlpha(b.gw, Rect{5, 5, 10, 10}, RGBColor{0xFFFF, 0x00FF, 0}, 255);
    EXPECT_EQ(b.At(5, 5), kRed);
    EXPECT_EQ(b.At(9, 9), kRed);
    EXPECT_EQ(b.At(4, 5), kWhite);
    GWPaintRectWithAlpha(b.gw, Rect{0, 0, 1, 1}, RGBColor{0, 0, 0}, 128);
    EXPECT_EQ(b.At(0, 0), (Px{255, 127, 127, 127}));
}

TEST(CGGlue, BufferBecomesAnIndependentImageAndKeepsItsLockState) {
    Buffer b(3, 2);
    b.Set(2, 1, kBlue);
    PixMapHandle pm = GetGWorldPixMap(b.gw);
    UnlockPixels(pm);
    CGImageRef image = GWorld2CGImage(b.gw);
    EXPECT_EQ(GetPixelsState(pm) & pixelsLocked, 0u);
    LockPixels(pm);
    b.Set(2, 1, kRed);
    ASSERT_EQ(CGImageGetWidth(image), 3u);
    ASSERT_EQ(CGImageGetHeight(image), 2u);
    EXPECT_EQ(ImagePixel(image, 2, 1), kBlue);
    EXPECT_EQ(ImagePixel(image, 0, 0), kWhite);
    CGImageRelease(image);
}

TEST(CGGlue, ColourReferencesTakeTheHighBytes) {
    CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
    CGColorRef c = RGBColor2CGColorRef(RGBColor{0xFFFF, 0x80FF, 0}, 51, space);
    const CGFloat* comps = CGColorGetComponents(c);
    EXPECT_FLOAT_EQ(comps[0], 1.0f);
    EXPECT_FLOAT_EQ(comps[1], 128.0f / 255.0f);
    EXPECT_FLOAT_EQ(comps[2], 0.0f);
    EXPECT_FLOAT_EQ(comps[3], 0.2f);
    CGColorRelease(c);
    CGColorSpaceRelease(space);
}

TEST(CGGlueDeathTest, MissingObjectsEndInTheirAlerts) {
    CGImageRef image = QuadrantImage(2, 2);
    EXPECT_EXIT(DrawRotatedImageInCGRect(nullptr, image, CGRectMake(0, 0, 1, 1), 0, false),
                testing::ExitedWithCode(70), "Assertion failed in: NIL context for DrawRotatedImageInQDRect");
    EXPECT_EXIT(DrawCGImageInQDRect(nullptr, image, Rect{0, 0, 1, 1}, 0, false), testing::ExitedWithCode(70),
                "NIL context for DrawRotatedImageInQDRect");
    EXPECT_EXIT(GWClearRect(nullptr, Rect{0, 0, 1, 1}), testing::ExitedWithCode(70),
                "NIL GWorld in GWClearRect");
    EXPECT_EXIT(GWPaintRectWithAlpha(nullptr, Rect{0, 0, 1, 1}, RGBColor{0, 0, 0}, 1),
                testing::ExitedWithCode(70), "NIL GWorld in GWPaintRect");
    EXPECT_EXIT(GWorld2CGImage(nullptr), testing::ExitedWithCode(70),
                "Failed to create s CGContext on GWorld2CGImage");
    EXPECT_EXIT(RGBColor2CGColorRef(RGBColor{0, 0, 0}, 0, nullptr), testing::ExitedWithCode(70),
                "NIL ColorSpace -- Color Space for allocation in RGBColor2CGColorRef");
    EXPECT_EXIT(RenderLineArt(nullptr), testing::ExitedWithCode(70), "nil config on RenderLineArt");
    CGImageRelease(image);
}

TEST(LineArt, EmptySourceReleasesTheOldImageAndIsSafeTwice) {
    PluginDataRec rec{};
    rec.theRendered = QuadrantImage(4, 4);
    RenderLineArt(&rec); // the sanitizer build reports the image if it was not released
    EXPECT_EQ(rec.theRendered, nullptr);
    RenderLineArt(&rec);
    EXPECT_EQ(rec.theRendered, nullptr);
}

TEST(LineArt, OpaqueSourceGivesTheSamePixelsInItsOwnImage) {
    PluginDataRec rec{};
    rec.theOriginalImage = MakeImage(320, 240, [](int h, int v) {
        return Px{255, h % 256, v, (h * v) % 251};
    });
    rec.theRendered = QuadrantImage(4, 4);
    RenderLineArt(&rec);
    ASSERT_NE(rec.theRendered, nullptr);
    ASSERT_NE(rec.theRendered, rec.theOriginalImage);
    ASSERT_EQ(CGImageGetWidth(rec.theRendered), 320u);
    ASSERT_EQ(CGImageGetHeight(rec.theRendered), 240u);
    for (int v = 0; v < 240; ++v)
        for (int h = 0; h < 320; ++h)
            ASSERT_EQ(ImagePixel(rec.theRendered, h, v), ImagePixel(rec.theOriginalImage, h, v))
                << h << "," << v;
    CGImageRelease(rec.theRendered);
    CGImageRelease(rec.theOriginalImage);
}

TEST(LineArt, SourceTooLargeForABufferLeavesNoRenderedImage) {
    PluginDataRec rec{};
    std::vector<UInt8> pixels(5000 * 4, 0xFF);
    CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
    CGDataProviderRef provider = CGDataProviderCreateWithData(nullptr, pixels.data(), pixels.size(), nullptr);
    rec.theOriginalImage = CGImageCreate(5000, 1, 8, 32, 5000 * 4, space, kCGImageAlphaPremultipliedFirst,
                                         provider, nullptr, false, kCGRenderingIntentDefault);
    CGDataProviderRelease(provider);
    CGColorSpaceRelease(space);
    ASSERT_NE(rec.theOriginalImage, nullptr);
    RenderLineArt(&rec);
    EXPECT_EQ(rec.theRendered, nullptr);
    CGImageRelease(rec.theOriginalImage);
}

TEST(LineEffect, CopiesTheActiveRectThenLaysTheSourceOverWithTheThirdSlider) {
    // Source: left half black, right half white. The active rectangle is its left half.
    Buffer source(8, 2);
    for (int v = 0; v < 2; ++v)
        for (int h = 0; h < 4; ++h)
            source.Set(h, v, kBlack);
    PluginDataRec rec{};
    CGrafPtr port;
    GDHandle device;
    for (auto [slider, right] : {std::pair{0, kBlack}, {100, kWhite}, {50, Px{255, 128, 128, 128}}}) {
        Buffer dest(8, 2, RGBColor{0, 0, 0xFFFF});
        rec.sliders[3] = SInt16(slider);
        GetGWorld(&port, &device);
        TheLineEffect(source.gw, dest.gw, Rect{0, 0, 2, 4}, false, &rec, 0, 0);
        CGrafPtr after;
        GDHandle afterDevice;
        GetGWorld(&after, &afterDevice);
        EXPECT_EQ(after, port);
        for (int v = 0; v < 2; ++v) {
            EXPECT_EQ(dest.At(0, v), kBlack) << slider;
            EXPECT_EQ(dest.At(3, v), kBlack) << slider;
            EXPECT_EQ(dest.At(4, v), right) << slider;
            EXPECT_EQ(dest.At(7, v), right) << slider;
        }
    }
}

// The Quartz bridge and the dialog's line art, probed pixel by pixel in real buffers.
#include "render/CGGlue.h"
#include "render/lineEffect.h"

#include "PaddedBuffer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

const PixRec kWhite{255, 255, 255, 255}, kBlack{255, 0, 0, 0}, kRed{255, 255, 0, 0}, kGreen{255, 0, 255, 0},
    kBlue{255, 0, 0, 255}, kYellow{255, 255, 255, 0};

// Corners: top-left red, top-right green, bottom-left blue, bottom-right yellow.
CGImageRef QuadrantImage(int w, int h) {
    return MakeImage(w, h, [w, h](int x, int y) {
        const bool right = x >= w / 2, bottom = y >= h / 2;
        return bottom ? (right ? kYellow : kBlue) : (right ? kGreen : kRed);
    });
}

PixRec ImagePixel(CGImageRef image, int x, int y) {
    return reinterpret_cast<const PixRec*>(toolbox::CGImagePixels(image) +
                                           y * long(CGImageGetBytesPerRow(image)))[x];
}

} // namespace

// At angle zero the buffer holds the image's pixels one for one, inside the rectangle only; at
// a non-zero angle the image turns counter-clockwise about the rectangle's centre.
TEST(CGGlue, ImagesLandInTheirRectangleTurnedByTheAngle) {
    CGImageRef image = QuadrantImage(40, 20);
    PaddedBuffer b(200, 100, kWhite);
    DrawCGImageInQDRect(b.gw(), image, Rect{10, 20, 30, 60}, 0.0f, false);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 200; ++x) {
            const bool inside = x >= 20 && x < 60 && y >= 10 && y < 30;
            ASSERT_EQ(b.At(x, y), inside ? ImagePixel(image, x - 20, y - 10) : kWhite) << x << "," << y;
        }
    CGImageRelease(image);

    image = QuadrantImage(20, 20);
    for (const auto& [angle, corners] :
         {std::pair{float(M_PI), std::vector<PixRec>{kYellow, kBlue, kGreen, kRed}},
          {float(M_PI / 2), std::vector<PixRec>{kGreen, kYellow, kRed, kBlue}}}) {
        PaddedBuffer turned(40, 40, kWhite);
        DrawCGImageInQDRect(turned.gw(), image, Rect{10, 10, 30, 30}, angle, false);
        EXPECT_EQ(
            (std::vector<PixRec>{turned.At(12, 12), turned.At(27, 12), turned.At(12, 27), turned.At(27, 27)}),
            corners)
            << angle;
        EXPECT_EQ(turned.At(9, 9), kWhite);
    }
    CGImageRelease(image);
}

TEST(CGGlue, AlphaClearingAndNoImage) {
    CGImageRef black = MakeImage(2, 2, kBlack);
    PaddedBuffer b(4, 1, kWhite);
    DrawCGImageInQDRectWithAlpha(b.gw(), black, Rect{0, 0, 1, 1}, 0.0f, false, 0.5, 0);
    DrawCGImageInQDRectWithAlpha(b.gw(), nullptr, Rect{0, 2, 1, 3}, 0.0f, true, 1.0, 0);
    EXPECT_EQ(b.At(0, 0), (PixRec{255, 128, 128, 128}));
    EXPECT_EQ(b.At(2, 0), kWhite);
    CGImageRelease(black);

    // Clearing first leaves the image's own transparency, not the background under it.
    CGImageRef clear = MakeImage(1, 1, PixRec{0, 0, 0, 0});
    DrawCGImageInQDRect(b.gw(), clear, Rect{0, 3, 1, 4}, 0.0f, true);
    EXPECT_EQ(b.At(3, 0), (PixRec{0, 0, 0, 0}));
    DrawCGImageInQDRect(b.gw(), clear, Rect{0, 2, 1, 3}, 0.0f, false);
    EXPECT_EQ(b.At(2, 0), kWhite);
    CGImageRelease(clear);
}

TEST(CGGlueDeathTest, MissingObjectsEndInTheirAlerts) {
    CGImageRef image = QuadrantImage(2, 2);
    EXPECT_EXIT(DrawRotatedImageInCGRect(nullptr, image, CGRectMake(0, 0, 1, 1), 0, false),
                testing::ExitedWithCode(70), "Assertion failed in: NIL context for DrawRotatedImageInQDRect");
    EXPECT_EXIT(GWorld2CGImage(nullptr), testing::ExitedWithCode(70),
                "Failed to create s CGContext on GWorld2CGImage");
    EXPECT_EXIT(RenderLineArt(nullptr), testing::ExitedWithCode(70), "nil config on RenderLineArt");
    CGImageRelease(image);
}

// The rendered image is a copy of the original's pixels, in an image of its own; the old one is
// released (the sanitizer build reports it otherwise), and without an original none is left.
TEST(LineArt, TheRenderedImageCopiesTheOriginalOrIsNone) {
    PluginDataRec rec{};
    rec.theOriginalImage = MakeImage(320, 240, [](int x, int y) {
        return PixRec{255, UInt8(x % 256), UInt8(y), UInt8((x * y) % 251)};
    });
    rec.theRendered = QuadrantImage(4, 4);
    RenderLineArt(&rec);
    ASSERT_NE(rec.theRendered, nullptr);
    ASSERT_NE(rec.theRendered, rec.theOriginalImage);
    ASSERT_EQ(CGImageGetWidth(rec.theRendered), 320u);
    ASSERT_EQ(CGImageGetHeight(rec.theRendered), 240u);
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            ASSERT_EQ(ImagePixel(rec.theRendered, x, y), ImagePixel(rec.theOriginalImage, x, y))
                << x << "," << y;
    CGImageRelease(rec.theOriginalImage);
    rec.theOriginalImage = nullptr;
    RenderLineArt(&rec);
    EXPECT_EQ(rec.theRendered, nullptr);
    RenderLineArt(&rec);
    EXPECT_EQ(rec.theRendered, nullptr);
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

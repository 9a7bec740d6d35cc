#include "toolbox/Quartz.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

CGImageRef MakeImage(std::vector<UInt8>& pixels, size_t w, size_t h, size_t rowBytes) {
    CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
    CGDataProviderRef provider = CGDataProviderCreateWithData(nullptr, pixels.data(), pixels.size(), nullptr);
    CGImageRef image = CGImageCreate(w, h, 8, 32, rowBytes, space, kCGImageAlphaPremultipliedFirst, provider,
                                     nullptr, false, kCGRenderingIntentDefault);
    CGDataProviderRelease(provider);
    CGColorSpaceRelease(space);
    return image;
}

} // namespace

TEST(Images, CreateCopiesPixelsAndDropsRowPadding) {
    std::vector<UInt8> pixels(3 * 12); // 2 × 3 pixels, 12 bytes a row, 4 of them padding
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = UInt8(i);
    CGImageRef image = MakeImage(pixels, 2, 3, 12);
    ASSERT_NE(image, nullptr);
    pixels.assign(pixels.size(), 0); // the image keeps its own copy
    EXPECT_EQ(CGImageGetWidth(image), 2u);
    EXPECT_EQ(CGImageGetHeight(image), 3u);
    const UInt8* p = toolbox::CGImagePixels(image);
    EXPECT_EQ(p[8], 12); // row 1 starts with byte 12 of the source
    EXPECT_EQ(p[23], 31);
    CGImageRelease(image);
}

TEST(Images, CopiesAreIndependentAndRetainCountsHold) {
    std::vector<UInt8> pixels(16, 7);
    CGImageRef image = MakeImage(pixels, 2, 2, 8);
    CGImageRef copy = CGImageCreateCopy(image);
    ASSERT_NE(copy, image);
    EXPECT_EQ(CGImageRetain(image), image);
    CGImageRelease(image);
    CGImageRelease(image); // the last reference: the copy must live on
    EXPECT_EQ(toolbox::CGImagePixels(copy)[15], 7);
    CGImageRelease(copy);
    CGImageRelease(nullptr);
    EXPECT_EQ(CGImageCreateCopy(nullptr), nullptr);
}

TEST(Images, UnsupportedOrShortDataGivesNoImage) {
    std::vector<UInt8> pixels(15);
    EXPECT_EQ(MakeImage(pixels, 2, 2, 8), nullptr); // one byte short
    std::vector<UInt8> enough(16);
    EXPECT_EQ(MakeImage(enough, 2, 2, 4), nullptr); // rows narrower than the pixels
    EXPECT_EQ(MakeImage(enough, 0, 2, 8), nullptr);
}

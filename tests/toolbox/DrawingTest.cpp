// Ovals, pen modes and sizes, text through FreeType, and ports written as PNG.
#include "toolbox/QuickDraw.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

struct Canvas {
    GWorldPtr gw = nullptr;
    CGrafPtr savedPort;
    GDHandle savedDevice;
    Canvas(short width, short height) {
        GetGWorld(&savedPort, &savedDevice);
        Rect r{0, 0, height, width};
        EXPECT_EQ(NewGWorld(&gw, 32, &r, nullptr, nullptr, 0), noErr);
        SetGWorld(gw, nullptr);
        const RGBColor white{0xFFFF, 0xFFFF, 0xFFFF};
        RGBBackColor(&white);
        EraseRect(&r);
    }
    ~Canvas() {
        SetGWorld(savedPort, savedDevice);
        DisposeGWorld(gw);
    }
    // Red, green and blue of a pixel as 0xRRGGBB.
    UInt32 At(int h, int v) const {
        PixMapHandle pm = GetGWorldPixMap(gw);
        const UInt8* p = reinterpret_cast<const UInt8*>(GetPixBaseAddr(pm)) + v * GetPixRowBytes(pm) + 4 * h;
        return UInt32(p[1]) << 16 | UInt32(p[2]) << 8 | p[3];
    }
    int Count(UInt32 rgb) const {
        int n = 0;
        Rect r;
        GetPortBounds(gw, &r);
        for (int v = r.top; v < r.bottom; ++v)
            for (int h = r.left; h < r.right; ++h)
                n += At(h, v) == rgb;
        return n;
    }
};

constexpr UInt32 kWhite = 0xFFFFFF, kBlack = 0;

TEST(Ovals, AFramedOvalIsASymmetricRingInsideItsRectangle) {
    Canvas c(20, 20);
    Rect r{2, 2, 14, 14}; // the 12 x 12 handle square
    FrameOval(&r);
    EXPECT_EQ(c.At(8, 2), kBlack);  // top middle
    EXPECT_EQ(c.At(2, 8), kBlack);  // left middle
    EXPECT_EQ(c.At(8, 8), kWhite);  // centre
    EXPECT_EQ(c.At(2, 2), kWhite);  // corner lies outside the oval
    EXPECT_EQ(c.At(14, 8), kWhite); // right edge is exclusive
    for (int v = 0; v < 20; ++v)
        for (int h = 0; h < 20; ++h) {
            if (h < 2 || h >= 14 || v < 2 || v >= 14) {
                EXPECT_EQ(c.At(h, v), kWhite);
                continue;
            }
            EXPECT_EQ(c.At(h, v), c.At(15 - h, v)) << h << "," << v; // mirror about the middle
            EXPECT_EQ(c.At(h, v), c.At(h, 15 - v)) << h << "," << v;
        }
}

TEST(Ovals, OrModePaintsTheForegroundAndXorModeUndoesItself) {
    Canvas c(30, 30);
    Rect whole{0, 0, 30, 30}, r{5, 5, 25, 25};
    const RGBColor grey{0x8080, 0x8080, 0x8080}, white{0xFFFF, 0xFFFF, 0xFFFF};
    RGBForeColor(&grey);
    PaintRect(&whole);
    RGBForeColor(&white);
    PenMode(srcOr);
    FrameOval(&r); // white rings on grey, as the clip frame's handles draw them
    EXPECT_EQ(c.At(15, 5), kWhite);
    EXPECT_EQ(c.At(15, 15), 0x808080u);
    std::vector<UInt32> before;
    for (int v = 0; v < 30; ++v)
        for (int h = 0; h < 30; ++h)
            before.push_back(c.At(h, v));
    PenMode(patXor);
    FrameOval(&r);
    EXPECT_EQ(c.At(15, 5), 0);
    FrameOval(&r);
    size_t i = 0;
    for (int v = 0; v < 30; ++v)
        for (int h = 0; h < 30; ++h)
            EXPECT_EQ(c.At(h, v), before[i++]);
}

TEST(Rects, ThePenModeAppliesToFramesAndPaint) {
    Canvas c(20, 20);
    Rect r{2, 2, 18, 18};
    FrameRect(&r);
    EXPECT_EQ(c.At(2, 2), kBlack);
    EXPECT_EQ(c.At(17, 10), kBlack);
    EXPECT_EQ(c.At(3, 10), kWhite);
    EXPECT_EQ(c.At(18, 10), kWhite); // right and bottom stay outside
    EXPECT_EQ(c.Count(kBlack), 16 * 16 - 14 * 14);
    PenMode(patXor);
    PaintRect(&r); // inverts: the frame turns white, the inside black
    EXPECT_EQ(c.At(2, 2), kWhite);
    EXPECT_EQ(c.At(10, 10), kBlack);
    PaintRect(&r);
    PenNormal();
    EXPECT_EQ(c.Count(kBlack), 16 * 16 - 14 * 14);
}

TEST(Ovals, DrawingStaysInsideTheClipRectangle) {
    Canvas c(30, 30);
    Rect r{0, 0, 30, 30}, clip{0, 0, 30, 15};
    ClipRect(&clip);
    FrameOval(&r);
    EXPECT_EQ(c.At(0, 14), kBlack);
    EXPECT_EQ(c.At(29, 15), kWhite);
    Rect off{-50, -50, -10, -10};
    FrameOval(&off); // wholly outside: nothing happens
}

TEST(Text, WidthsAddUpAndGrowWithTheSize) {
    Canvas c(200, 40);
    Str255 hi = "\x02Hi", h = "\x01H", i = "\x01i", empty = "";
    EXPECT_GT(StringWidth(h), 0);
    EXPECT_EQ(StringWidth(hi), StringWidth(h) + StringWidth(i));
    EXPECT_EQ(StringWidth(empty), 0);
    short small = StringWidth(hi);
    TextSize(24);
    EXPECT_GT(StringWidth(hi), small * 3 / 2);
    FontInfo info;
    GetFontInfo(&info);
    EXPECT_GT(info.ascent, 16);
    EXPECT_GT(info.descent, 2);
}

TEST(Text, DrawStringPutsInkAboveTheBaselineAndMovesThePen) {
    Canvas c(100, 40);
    Str255 text = "\x04Wash";
    MoveTo(10, 25);
    DrawString(text);
    Point pen;
    GetPen(&pen);
    EXPECT_EQ(pen.h, 10 + StringWidth(text));
    EXPECT_EQ(pen.v, 25);
    int inked = 0;
    for (int v = 0; v < 40; ++v)
        for (int h = 0; h < 100; ++h)
            if (c.At(h, v) != kWhite) {
                ++inked;
                EXPECT_GE(h, 10);
                EXPECT_LE(h, pen.h + 1);
                EXPECT_LE(v, 25);
                EXPECT_GE(v, 25 - 12);
            }
    EXPECT_GT(inked, 20);
    Str255 roman = "\x01\x8E"; // é in Mac Roman has a width of its own
    EXPECT_GT(StringWidth(roman), 0);
}

TEST(Text, FontFamiliesAreFoundByName) {
    Str255 sans = "\x0B"
                  "DejaVu Sans",
           nope = "\x04Nope";
    EXPECT_EQ(FMGetFontFamilyFromName(sans), 1);
    EXPECT_EQ(FMGetFontFamilyFromName(nope), kInvalidFontFamily);
}

TEST(PNG, APortIsWrittenPixelForPixel) {
    Canvas c(7, 5);
    const RGBColor red{0xFF00, 0, 0x1200};
    RGBForeColor(&red);
    Rect r{1, 2, 3, 6};
    PaintRect(&r);
    std::string path = testing::TempDir() + "port.png", error;
    ASSERT_TRUE(toolbox::WritePortPNG(c.gw, path, error)) << error;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, path.c_str()));
    image.format = PNG_FORMAT_RGB;
    std::vector<UInt8> pixels(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr));
    ASSERT_EQ(image.width, 7u);
    ASSERT_EQ(image.height, 5u);
    for (int v = 0; v < 5; ++v)
        for (int h = 0; h < 7; ++h) {
            const UInt8* p = &pixels[size_t(v * 7 + h) * 3];
            EXPECT_EQ(UInt32(p[0]) << 16 | UInt32(p[1]) << 8 | p[2], c.At(h, v));
        }
    EXPECT_FALSE(toolbox::WritePortPNG(c.gw, "/nonexistent/dir/x.png", error));
    EXPECT_NE(error.find("/nonexistent/dir/x.png"), std::string::npos);
    std::remove(path.c_str());
}

} // namespace

#include "render/pixelBuffers.h"

#include "PaddedBuffer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

TEST(PixelBuffers, ColourFormsConvert) {
    EXPECT_EQ(LongInt2PixRec(0x12345678), (PixRec{0, 0x34, 0x56, 0x78}));
    EXPECT_EQ(PixRec2LongInt(PixRec{0xFF, 1, 2, 3}), 66051);
    EXPECT_EQ(RGBColor2LongInt(RGBColor{0xFFFF, 0x80FF, 0x00FF}), 0xFF8000);
    RGBColor c = LongInt2RGBColor(0xFFFF01);
    EXPECT_EQ(std::vector<int>({c.red, c.green, c.blue}), std::vector<int>({0xFF00, 0xFF00, 0x0100}));
    SInt16 alpha;
    Pixel2RGBA(PixRec{77, 255, 1, 0}, c, alpha);
    EXPECT_EQ(std::vector<int>({c.red, c.green, c.blue, alpha}), std::vector<int>({0xFF00, 0x0100, 0, 77}));
    c = SetRGBColor(-1, -1, 0);
    EXPECT_EQ(std::vector<int>({c.red, c.green, c.blue}), std::vector<int>({0xFFFF, 0xFFFF, 0}));
    SInt32 w, h;
    GetDims(Rect{10, 50, 0, 20}, w, h); // inverted rectangles give negative sizes
    EXPECT_EQ(std::vector<int>({w, h}), std::vector<int>({-30, -10}));
}

TEST(PixelBuffers, AllocationGivesLockedBuffersAtTheOrigin) {
    GWorldPtr gw = AllocateRectGWorld(Rect{10, 20, 110, 220});
    ASSERT_NE(gw, nullptr);
    EXPECT_TRUE(CarbonGetPortBounds(gw) == (Rect{0, 0, 100, 200}));
    EXPECT_TRUE(GetPixelsState(GetGWorldPixMap(gw)) & pixelsLocked);
    EXPECT_EQ(GetGWDepth(gw), 32);
    DisposeGWorld(gw);
    gw = AllocateGWorld(320, 240);
    EXPECT_TRUE(GetPortRect(gw) == (Rect{0, 0, 240, 320}));
    DisposeGWorld(gw);
    EXPECT_EQ(AllocateGWorld(0, 10), nullptr);
    EXPECT_EQ(MakeGWorldClone(nullptr), nullptr);
}

TEST(PixelBuffers, PixelStoresByDepth) {
    std::vector<char> mem(64, 0);
    PixRec p{0x11, 0xFF, 0x80, 0x08};
    Put32BitPixelInPixmap(p, mem.data(), 1, 1, 16, 16);
    UInt16 v;
    std::memcpy(&v, mem.data() + 16 + 2, 2);
    EXPECT_EQ(v, 0x7E01);
    Put32BitPixelInPixmap(p, mem.data(), 2, 0, 16, 8);
    EXPECT_EQ(UInt8(mem[2]), 0xFF);
    Put32BitPixelInPixmap(p, mem.data(), 1, 2, 16, 24); // three bytes a pixel
    EXPECT_EQ(std::vector<char>(mem.begin() + 35, mem.begin() + 39), std::vector<char>({-1, -128, 8, 0}));
    Put32BitPixelInPixmap(p, mem.data(), 3, 3, 16, 32);
    PixRec back;
    PGetPixel(mem.data(), 16, 3, 3, back);
    EXPECT_EQ(back, p);
}

// Clearing leaves the current port as it was; a clone copies the whole source into bounds at
// the origin, also from a source whose bounds lie elsewhere; Source2Target scales.
TEST(PixelBuffers, ClearCloneAndScaledCopies) {
    CGrafPtr before, after;
    GDHandle device;
    GetGWorld(&before, &device);
    GWorldPtr a = nullptr, b = AllocateGWorld(8, 4);
    Rect away{-7, 30, -5, 34};
    ASSERT_EQ(NewGWorld(&a, 32, &away, nullptr, nullptr, 0), noErr);
    ClearGW(a, RGBColor{0x1234, 0xABCD, 0xFFFF});
    GetGWorld(&after, &device);
    EXPECT_EQ(after, before);
    EXPECT_EQ(PixelOf(a, 3, 1), (PixRec{255, 0x12, 0xAB, 0xFF}));
    const PixRec marked{255, 1, 2, 3};
    reinterpret_cast<PixRec*>(GetPixBaseAddr(GetGWorldPixMap(a)) + GetPixRowBytes(GetGWorldPixMap(a)))[3] =
        marked;

    GWorldPtr clone = MakeGWorldClone(a);
    EXPECT_EQ(CarbonGetPortBounds(clone).right, 4);
    EXPECT_EQ(PixelOf(clone, 3, 1), marked);
    EXPECT_EQ(PixelOf(clone, 0, 0), PixelOf(a, 0, 0));
    Source2Target(clone, b); // doubled in both directions
    EXPECT_EQ(PixelOf(b, 7, 3), marked);
    EXPECT_EQ(PixelOf(b, 5, 1).red, 0x12);
    Source2Target(nullptr, b);
    ClearGW(nullptr, RGBColor{});
    DisposeGWorld(a);
    DisposeGWorld(b);
    DisposeGWorld(clone);
}

#include "render/pixelBuffers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

TEST(PixelBuffers, ColourFormsConvert) {
    SInt32 packed = 0x12345678;
    PixRec p = LongInt2PixRec(packed);
    EXPECT_EQ(p.alpha, 0);
    EXPECT_EQ(p.red, 0x34);
    EXPECT_EQ(p.green, 0x56);
    EXPECT_EQ(p.blue, 0x78);
    EXPECT_EQ(PixRec2LongInt(PixRec{0xFF, 1, 2, 3}), 66051);
    EXPECT_EQ(RGBColor2LongInt(RGBColor{0xFFFF, 0x80FF, 0x00FF}), 0xFF8000);
    RGBColor c = LongInt2RGBColor(0xFFFFFF);
    EXPECT_EQ(c.red, 0xFF00);
    EXPECT_EQ(c.green, 0xFF00);
    EXPECT_EQ(c.blue, 0xFF00);
    RGBColor rgb;
    SInt16 alpha;
    Pixel2RGBA(PixRec{77, 255, 1, 0}, rgb, alpha);
    EXPECT_EQ(rgb.red, 0xFF00);
    EXPECT_EQ(rgb.green, 0x0100);
    EXPECT_EQ(alpha, 77);
    RGBColor white = SetRGBColor(-1, -1, 0);
    EXPECT_EQ(white.red, 0xFFFF);
    EXPECT_EQ(white.blue, 0);
}

TEST(PixelBuffers, AllocationGivesLockedBuffersAtTheOrigin) {
    Rect r{10, 20, 110, 220};
    GWorldPtr gw = AllocateRectGWorld(r);
    ASSERT_NE(gw, nullptr);
    Rect b = CarbonGetPortBounds(gw);
    EXPECT_EQ(b.top, 0);
    EXPECT_EQ(b.left, 0);
    EXPECT_EQ(b.bottom, 100);
    EXPECT_EQ(b.right, 200);
    EXPECT_TRUE(GetPixelsState(GetGWorldPixMap(gw)) & pixelsLocked);
    EXPECT_EQ(GetGWDepth(gw), 32);
    DisposeGWorld(gw);
    gw = AllocateGWorld(320, 240);
    b = GetPortRect(gw);
    EXPECT_EQ(b.right, 320);
    EXPECT_EQ(b.bottom, 240);
    DisposeGWorld(gw);
    EXPECT_EQ(AllocateGWorld(0, 10), nullptr);
    EXPECT_EQ(MakeGWorldClone(nullptr), nullptr);
}

TEST(PixelBuffers, PixelStoresByDepth) {
    EXPECT_EQ(Depth2Size(8), 1);
    EXPECT_EQ(Depth2Size(16), 2);
    EXPECT_EQ(Depth2Size(24), 4);
    EXPECT_EQ(Depth2Size(32), 4);
    EXPECT_EQ(Depth2Size(1), 4);
    std::vector<char> mem(64, 0);
    PixRec p{0x11, 0xFF, 0x80, 0x08};
    Put32BitPixelInPixmap(p, mem.data(), 1, 1, 16, 16);
    UInt16 v;
    std::memcpy(&v, mem.data() + 16 + 2, 2);
    EXPECT_EQ(v, 0x7E01);
    Put32BitPixelInPixmap(p, mem.data(), 2, 0, 16, 8);
    EXPECT_EQ(UInt8(mem[2]), 0xFF);
    Put32BitPixelInPixmap(p, mem.data(), 1, 2, 16, 24); // three bytes a pixel
    EXPECT_EQ(UInt8(mem[32 + 3]), 0xFF);
    EXPECT_EQ(UInt8(mem[32 + 5]), 0x08);
    EXPECT_EQ(mem[32 + 6], 0);
    Put32BitPixelInPixmap(p, mem.data(), 3, 3, 16, 32);
    PixRec back;
    PGetPixel(mem.data(), 16, 3, 3, back);
    EXPECT_EQ(std::memcmp(&back, &p, 4), 0);
    PixRec q{1, 2, 3, 4};
    PSetPixel(mem.data(), 16, 0, 0, &q);
    EXPECT_EQ(mem[3], 4);
}

TEST(PixelBuffers, DimsOfInvertedRectanglesAreNegative) {
    SInt32 w, h;
    GetDims(Rect{10, 50, 0, 20}, w, h);
    EXPECT_EQ(w, -30);
    EXPECT_EQ(h, -10);
}

TEST(PixelBuffers, DirectAccessRestoresTheSavedState) {
    Rect r{0, 0, 3, 5};
    GWorldPtr gw = nullptr;
    ASSERT_EQ(NewGWorld(&gw, 32, &r, nullptr, nullptr, 0), noErr);
    Ptr base;
    SInt32 rowBytes;
    Rect frame;
    UInt32 flags;
    GetPixInfoFromGWorld(gw, base, rowBytes, frame, flags);
    EXPECT_TRUE(GetPixelsState(GetGWorldPixMap(gw)) & pixelsLocked);
    EXPECT_GE(rowBytes, 20);
    EXPECT_EQ(frame.right, 5);
    SetPixelsState(GetGWorldPixMap(gw), flags);
    EXPECT_FALSE(GetPixelsState(GetGWorldPixMap(gw)) & pixelsLocked);
    DisposeGWorld(gw);
}

TEST(PixelBuffers, ClearCloneAndScaledCopies) {
    CGrafPtr before;
    GDHandle device;
    GetGWorld(&before, &device);
    GWorldPtr a = AllocateGWorld(4, 2), b = AllocateGWorld(8, 4);
    ClearGW(a, RGBColor{0x1234, 0xABCD, 0xFFFF});
    CGrafPtr after;
    GetGWorld(&after, &device);
    EXPECT_EQ(after, before);
    Ptr base;
    SInt32 rowBytes;
    Rect frame;
    UInt32 flags;
    PixRec p;
    GetPixInfoFromGWorld(a, base, rowBytes, frame, flags);
    PGetPixel(base, rowBytes, 3, 1, p);
    EXPECT_EQ(p.red, 0x12);
    EXPECT_EQ(p.green, 0xAB);
    EXPECT_EQ(p.blue, 0xFF);
    PixRec marked{255, 1, 2, 3};
    PSetPixel(base, rowBytes, 3, 1, &marked);

    GWorldPtr clone = MakeGWorldClone(a);
    GetPixInfoFromGWorld(clone, base, rowBytes, frame, flags);
    PGetPixel(base, rowBytes, 3, 1, p);
    EXPECT_EQ(PixRec2LongInt(p), PixRec2LongInt(marked));

    Source2Target(a, b); // doubled in both directions
    GetPixInfoFromGWorld(b, base, rowBytes, frame, flags);
    PGetPixel(base, rowBytes, 7, 3, p);
    EXPECT_EQ(PixRec2LongInt(p), PixRec2LongInt(marked));
    PGetPixel(base, rowBytes, 5, 1, p);
    EXPECT_EQ(p.red, 0x12);
    Source2Target(nullptr, b);
    ClearGW(nullptr, RGBColor{});
    DisposeGWorld(a);
    DisposeGWorld(b);
    DisposeGWorld(clone);
}

#include "toolbox/QuickDraw.h"
#include "toolbox/MacMemory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

namespace {

// A port to draw in and restore afterwards.
struct SavedPort {
    CGrafPtr port;
    GDHandle device;
    SavedPort() { GetGWorld(&port, &device); }
    ~SavedPort() { SetGWorld(port, device); }
};

GWorldPtr MakeWorld(short width, short height) {
    GWorldPtr gw = nullptr;
    Rect r{0, 0, height, width};
    EXPECT_EQ(NewGWorld(&gw, 32, &r, nullptr, nullptr, 0), noErr);
    return gw;
}

UInt32 PixelAt(GWorldPtr gw, int h, int v) {
    PixMapHandle pm = GetGWorldPixMap(gw);
    UInt32 value;
    std::memcpy(&value, GetPixBaseAddr(pm) + v * GetPixRowBytes(pm) + 4 * h, 4);
    return value;
}

void SetPixelAt(GWorldPtr gw, int h, int v, UInt32 value) {
    PixMapHandle pm = GetGWorldPixMap(gw);
    std::memcpy(GetPixBaseAddr(pm) + v * GetPixRowBytes(pm) + 4 * h, &value, 4);
}

// Every pixel gets a value that names its position and the buffer.
void FillPattern(GWorldPtr gw, UInt32 salt) {
    Rect b;
    GetPortBounds(gw, &b);
    for (int v = 0; v < b.bottom; ++v)
        for (int h = 0; h < b.right; ++h)
            SetPixelAt(gw, h, v, (salt << 24) | UInt32(v << 12) | UInt32(h));
}

UInt32 Bytes(UInt8 a, UInt8 r, UInt8 g, UInt8 b) {
    const UInt8 bytes[4] = {a, r, g, b};
    UInt32 value;
    std::memcpy(&value, bytes, 4);
    return value;
}

} // namespace

TEST(QuickDraw, NewGWorldMakes32BitBuffersOfTheBounds) {
    GWorldPtr gw = MakeWorld(33, 7);
    PixMapHandle pm = GetGWorldPixMap(gw);
    Rect b;
    GetPortBounds(gw, &b);
    EXPECT_EQ(std::memcmp(&b, &(*pm)->bounds, sizeof b), 0);
    EXPECT_EQ(b.right, 33);
    EXPECT_EQ(b.bottom, 7);
    EXPECT_EQ(GetPixDepth(pm), 32);
    EXPECT_GE(GetPixRowBytes(pm), 4 * 33);
    EXPECT_EQ(GetPixRowBytes(pm), long((*pm)->rowBytes) & 0x3FFF);
    const BitMap* bits = GetPortBitMapForCopyBits(gw);
    EXPECT_EQ(bits->baseAddr, GetPixBaseAddr(pm));
    DisposeGWorld(gw);
}

TEST(QuickDraw, NewGWorldRefusesWhatItCannotMake) {
    GWorldPtr gw = reinterpret_cast<GWorldPtr>(1);
    Rect empty{0, 0, 0, 10}, inverted{0, 10, 5, 0}, tooWide{0, 0, 1, 4096}, widest{0, 0, 1, 4095};
    EXPECT_EQ(NewGWorld(&gw, 32, &empty, nullptr, nullptr, 0), paramErr);
    EXPECT_EQ(gw, nullptr);
    EXPECT_EQ(NewGWorld(&gw, 32, &inverted, nullptr, nullptr, 0), paramErr);
    EXPECT_EQ(NewGWorld(&gw, 32, &tooWide, nullptr, nullptr, 0), paramErr);
    EXPECT_EQ(NewGWorld(&gw, 8, &widest, nullptr, nullptr, 0), paramErr);
    ASSERT_EQ(NewGWorld(&gw, 32, &widest, nullptr, nullptr, 0), noErr);
    EXPECT_LE(GetPixRowBytes(GetGWorldPixMap(gw)), 0x3FFF);
    DisposeGWorld(gw);
}

TEST(QuickDraw, LockStateIsSavedAndRestored) {
    GWorldPtr gw = MakeWorld(4, 4);
    PixMapHandle pm = GetGWorldPixMap(gw);
    GWorldFlags before = GetPixelsState(pm);
    EXPECT_FALSE(before & pixelsLocked);
    EXPECT_TRUE(LockPixels(pm));
    GWorldFlags locked = GetPixelsState(pm);
    EXPECT_TRUE(locked & pixelsLocked);
    SetPixelsState(pm, before);
    EXPECT_FALSE(GetPixelsState(pm) & pixelsLocked);
    SetPixelsState(pm, locked);
    EXPECT_TRUE(GetPixelsState(pm) & pixelsLocked);
    DisposeGWorld(gw);
}

TEST(QuickDraw, PixelMemoryOfADisposedBufferIsReusedForOneThatFits) {
    GWorldPtr a = MakeWorld(640, 480);
    Ptr memory = GetPixBaseAddr(GetGWorldPixMap(a));
    DisposeGWorld(a);
    GWorldPtr b = MakeWorld(640, 480);
    EXPECT_EQ(GetPixBaseAddr(GetGWorldPixMap(b)), memory);
    GWorldPtr c = MakeWorld(640, 480); // the kept block is taken: fresh memory
    EXPECT_NE(GetPixBaseAddr(GetGWorldPixMap(c)), memory);
    DisposeGWorld(b);
    GWorldPtr tiny = MakeWorld(8, 8); // far smaller: does not take the frame's block
    EXPECT_NE(GetPixBaseAddr(GetGWorldPixMap(tiny)), memory);
    DisposeGWorld(tiny);
    DisposeGWorld(c);
}

TEST(QuickDraw, CurrentPortIsSetAndForgottenWhenDisposed) {
    SavedPort saved;
    GWorldPtr gw = MakeWorld(2, 2);
    SetGWorld(gw, nullptr);
    CGrafPtr port = nullptr;
    GDHandle device = nullptr;
    GetGWorld(&port, &device);
    EXPECT_EQ(port, gw);
    DisposeGWorld(gw);
    GetGWorld(&port, &device);
    EXPECT_EQ(port, nullptr);
    Rect r{0, 0, 1, 1};
    PaintRect(&r); // no port: nothing happens
}

TEST(QuickDraw, SolidRectanglesAreClippedToBoundsAndClipRect) {
    SavedPort saved;
    GWorldPtr gw = MakeWorld(6, 5);
    SetGWorld(gw, nullptr);
    RGBColor red{0xFFFF, 0x0000, 0x1234}, white{0xFFFF, 0xFFFF, 0xFFFF};
    RGBBackColor(&white);
    Rect all{-10, -10, 50, 50};
    EraseRect(&all);
    EXPECT_EQ(PixelAt(gw, 5, 4), Bytes(255, 255, 255, 255));
    Rect clip{1, 1, 4, 5};
    ClipRect(&clip);
    RGBForeColor(&red);
    PaintRect(&all);
    for (int v = 0; v < 5; ++v)
        for (int h = 0; h < 6; ++h) {
            bool inside = v >= 1 && v < 4 && h >= 1 && h < 5;
            EXPECT_EQ(PixelAt(gw, h, v), inside ? Bytes(255, 255, 0, 0x12) : Bytes(255, 255, 255, 255))
                << h << "," << v;
        }
    InvertRect(&all);
    EXPECT_EQ(PixelAt(gw, 1, 1), Bytes(255, 0, 255, 0xED));
    EXPECT_EQ(PixelAt(gw, 0, 0), Bytes(255, 255, 255, 255));
    ClipRect(&all);
    EraseRect(&all);
    Rect frame{1, 1, 4, 5};
    FrameRect(&frame);
    for (int v = 0; v < 5; ++v)
        for (int h = 0; h < 6; ++h) {
            bool edge = (v >= 1 && v < 4 && h >= 1 && h < 5) && (v == 1 || v == 3 || h == 1 || h == 4);
            EXPECT_EQ(PixelAt(gw, h, v) == Bytes(255, 255, 0, 0x12), edge) << h << "," << v;
        }
    DisposeGWorld(gw);
}

TEST(QuickDraw, DrawingRespectsPaddedRows) {
    SavedPort saved;
    std::vector<UInt8> memory(5 * 24, 0xAB); // 4 pixels a row plus 8 bytes of padding
    GWorldPtr gw = nullptr;
    Rect b{0, 0, 5, 4};
    ASSERT_EQ(NewGWorldFromPtr(&gw, k32ARGBPixelFormat, &b, nullptr, nullptr, 0,
                               reinterpret_cast<Ptr>(memory.data()), 24),
              noErr);
    EXPECT_EQ(GetPixRowBytes(GetGWorldPixMap(gw)), 24);
    SetGWorld(gw, nullptr);
    RGBColor black{0, 0, 0};
    RGBForeColor(&black);
    PaintRect(&b);
    GWorldPtr src = MakeWorld(2, 2);
    FillPattern(src, 1);
    Rect s{0, 0, 2, 2};
    CopyBits(GetPortBitMapForCopyBits(src), GetPortBitMapForCopyBits(gw), &s, &b, srcCopy, nullptr);
    for (int v = 0; v < 5; ++v)
        for (int i = 16; i < 24; ++i)
            EXPECT_EQ(memory[size_t(v * 24 + i)], 0xAB) << v << "," << i;
    EXPECT_EQ(PixelAt(gw, 3, 4), PixelAt(src, 1, 1));
    DisposeGWorld(gw);
    DisposeGWorld(src);
    EXPECT_EQ(NewGWorldFromPtr(&gw, k32ARGBPixelFormat, &b, nullptr, nullptr, 0,
                               reinterpret_cast<Ptr>(memory.data()), 12),
              paramErr);
}

TEST(QuickDraw, CopyBitsScalesByNearestNeighbour) {
    GWorldPtr src = MakeWorld(2, 2), dst = MakeWorld(5, 4);
    FillPattern(src, 1);
    FillPattern(dst, 2);
    Rect s{0, 0, 2, 2}, d{0, 1, 4, 5};
    CopyBits(GetPortBitMapForCopyBits(src), GetPortBitMapForCopyBits(dst), &s, &d, srcCopy, nullptr);
    for (int v = 0; v < 4; ++v) {
        EXPECT_EQ(PixelAt(dst, 0, v), (2u << 24) | UInt32(v << 12)); // left of the rectangle: untouched
        for (int h = 1; h < 5; ++h)
            EXPECT_EQ(PixelAt(dst, h, v), PixelAt(src, (h - 1) / 2, v / 2)) << h << "," << v;
    }
    // Shrinking takes every other pixel.
    Rect whole{0, 0, 4, 4}, one{0, 0, 2, 2};
    CopyBits(GetPortBitMapForCopyBits(dst), GetPortBitMapForCopyBits(src), &whole, &one, srcCopy, nullptr);
    EXPECT_EQ(PixelAt(src, 1, 1), PixelAt(dst, 2, 2));
    DisposeGWorld(src);
    DisposeGWorld(dst);
}

// Against a plain per-pixel copy from a snapshot, over random rectangles that reach outside
// both buffers, with scaling, with a clip rectangle and with source and destination as one buffer.
TEST(QuickDraw, CopyBitsMatchesAPlainCopyEverywhere) {
    SavedPort saved;
    std::mt19937 rng(7);
    auto coord = [&](int lo, int hi) { return int(std::uniform_int_distribution<int>(lo, hi)(rng)); };
    for (int trial = 0; trial < 400; ++trial) {
        bool same = trial % 3 == 0;
        GWorldPtr src = MakeWorld(short(coord(1, 12)), short(coord(1, 9)));
        GWorldPtr dst = same ? src : MakeWorld(short(coord(1, 12)), short(coord(1, 9)));
        FillPattern(src, 1);
        if (!same) FillPattern(dst, 2);
        Rect sb, db;
        GetPortBounds(src, &sb);
        GetPortBounds(dst, &db);
        std::vector<UInt32> before(size_t(sb.right * sb.bottom)), after;
        for (int v = 0; v < sb.bottom; ++v)
            for (int h = 0; h < sb.right; ++h)
                before[size_t(v * sb.right + h)] = PixelAt(src, h, v);
        std::vector<UInt32> expected(size_t(db.right * db.bottom));
        for (int v = 0; v < db.bottom; ++v)
            for (int h = 0; h < db.right; ++h)
                expected[size_t(v * db.right + h)] = PixelAt(dst, h, v);

        Rect s{SInt16(coord(-4, 8)), SInt16(coord(-4, 10)), 0, 0},
            d{SInt16(coord(-4, 8)), SInt16(coord(-4, 10)), 0, 0};
        s.bottom = SInt16(s.top + coord(0, 10));
        s.right = SInt16(s.left + coord(0, 12));
        d.bottom = SInt16(d.top + coord(0, 10));
        d.right = SInt16(d.left + coord(0, 12));
        Rect clip{SInt16(coord(-2, 4)), SInt16(coord(-2, 4)), SInt16(coord(3, 12)), SInt16(coord(3, 14))};
        bool clipped = trial % 2 == 0;
        SetGWorld(dst, nullptr);
        Rect open{-32768, -32768, 32767, 32767};
        ClipRect(clipped ? &clip : &open);

        if (!EmptyRect(&s) && !EmptyRect(&d)) {
            int sw = s.right - s.left, sh = s.bottom - s.top, dw = d.right - d.left, dh = d.bottom - d.top;
            for (int v = std::max<int>(d.top, 0); v < std::min<int>(d.bottom, db.bottom); ++v)
                for (int h = std::max<int>(d.left, 0); h < std::min<int>(d.right, db.right); ++h) {
                    if (clipped && !(v >= clip.top && v < clip.bottom && h >= clip.left && h < clip.right))
                        continue;
                    int sh_ = s.left + (h - d.left) * sw / dw, sv = s.top + (v - d.top) * sh / dh;
                    if (sh_ < 0 || sh_ >= sb.right || sv < 0 || sv >= sb.bottom) continue;
                    expected[size_t(v * db.right + h)] = before[size_t(sv * sb.right + sh_)];
                }
        }
        CopyBits(GetPortBitMapForCopyBits(src), GetPortBitMapForCopyBits(dst), &s, &d, srcCopy, nullptr);
        for (int v = 0; v < db.bottom; ++v)
            for (int h = 0; h < db.right; ++h)
                ASSERT_EQ(PixelAt(dst, h, v), expected[size_t(v * db.right + h)])
                    << "trial " << trial << " at " << h << "," << v;
        SetGWorld(nullptr, nullptr);
        DisposeGWorld(src);
        if (!same) DisposeGWorld(dst);
    }
}

TEST(QuickDraw, PicturesDrawScaledIntoTheCurrentPort) {
    SavedPort saved;
    const UInt32 pixels[2] = {Bytes(255, 1, 2, 3), Bytes(255, 4, 5, 6)};
    PicHandle pic = toolbox::NewPictureFromPixels(reinterpret_cast<const UInt8*>(pixels), 2, 1, 8);
    ASSERT_NE(pic, nullptr);
    EXPECT_EQ((*pic)->picFrame.right, 2);
    GWorldPtr gw = MakeWorld(4, 2);
    SetGWorld(gw, nullptr);
    Rect r{0, 0, 2, 4};
    DrawPicture(pic, &r);
    EXPECT_EQ(PixelAt(gw, 1, 1), pixels[0]);
    EXPECT_EQ(PixelAt(gw, 2, 0), pixels[1]);
    KillPicture(pic);
    DisposeGWorld(gw);
    EXPECT_EQ(toolbox::NewPictureFromPixels(reinterpret_cast<const UInt8*>(pixels), 0, 1, 8), nullptr);
}

// QuickDraw: offscreen buffers, CopyBits against a plain copy, rectangles, ovals and the pen,
// pictures, text through FreeType, and ports written as PNG.
#include "toolbox/QuickDraw.h"

#include "MediaFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

GWorldPtr MakeWorld(short width, short height) {
    GWorldPtr gw = nullptr;
    Rect r{0, 0, height, width};
    EXPECT_EQ(NewGWorld(&gw, 32, &r, nullptr, nullptr, 0), noErr);
    return gw;
}

UInt8* PixelPtr(GWorldPtr gw, int h, int v) {
    PixMapHandle pm = GetGWorldPixMap(gw);
    return reinterpret_cast<UInt8*>(GetPixBaseAddr(pm)) + v * GetPixRowBytes(pm) + 4 * h;
}

// A pixel as 0xAARRGGBB.
UInt32 At(GWorldPtr gw, int h, int v) {
    const UInt8* p = PixelPtr(gw, h, v);
    return UInt32(p[0]) << 24 | UInt32(p[1]) << 16 | UInt32(p[2]) << 8 | p[3];
}

// Every pixel, row after row.
std::vector<UInt32> Pixels(GWorldPtr gw) {
    Rect b;
    GetPortBounds(gw, &b);
    std::vector<UInt32> all;
    for (int v = 0; v < b.bottom; ++v)
        for (int h = 0; h < b.right; ++h)
            all.push_back(At(gw, h, v));
    return all;
}

// Every pixel gets a value that names its position and the buffer.
void FillPattern(GWorldPtr gw, UInt32 salt) {
    Rect b;
    GetPortBounds(gw, &b);
    for (int v = 0; v < b.bottom; ++v)
        for (int h = 0; h < b.right; ++h) {
            const UInt32 value = (salt << 24) | UInt32(v << 12) | UInt32(h);
            const UInt8 bytes[4] = {UInt8(value >> 24), UInt8(value >> 16), UInt8(value >> 8), UInt8(value)};
            std::copy(bytes, bytes + 4, PixelPtr(gw, h, v));
        }
}

constexpr UInt32 kWhite = 0xFFFFFFFF, kBlack = 0xFF000000;

// A white buffer that is the current port while the canvas lives.
struct Canvas {
    SavedGWorldRec saved;
    GWorldPtr gw;
    Canvas(short width, short height) : gw(MakeWorld(width, height)) {
        SetGWorld(gw, nullptr);
        const RGBColor white{0xFFFF, 0xFFFF, 0xFFFF};
        RGBBackColor(&white);
        Rect all{0, 0, height, width};
        EraseRect(&all);
    }
    ~Canvas() {
        saved.Restore();
        DisposeGWorld(gw);
    }
    UInt32 At(int h, int v) const { return ::At(gw, h, v); }
};

} // namespace

// A buffer of the bounds, 32 bits deep and unlocked; its lock state is saved and put back.
TEST(QuickDraw, NewGWorldMakes32BitBuffersOfTheBoundsOrRefuses) {
    GWorldPtr gw = MakeWorld(33, 7);
    PixMapHandle pm = GetGWorldPixMap(gw);
    Rect b;
    GetPortBounds(gw, &b);
    EXPECT_EQ(b.right, 33);
    EXPECT_EQ(b.bottom, 7);
    EXPECT_EQ(GetPixDepth(pm), 32);
    EXPECT_GE(GetPixRowBytes(pm), 4 * 33);
    EXPECT_EQ(GetPortBitMapForCopyBits(gw)->baseAddr, GetPixBaseAddr(pm));
    const GWorldFlags unlocked = GetPixelsState(pm);
    EXPECT_FALSE(unlocked & pixelsLocked);
    EXPECT_TRUE(LockPixels(pm));
    const GWorldFlags locked = GetPixelsState(pm);
    SetPixelsState(pm, unlocked);
    EXPECT_FALSE(GetPixelsState(pm) & pixelsLocked);
    SetPixelsState(pm, locked);
    EXPECT_TRUE(GetPixelsState(pm) & pixelsLocked);
    DisposeGWorld(gw);

    // Empty, inverted, too wide, not 32 bits deep.
    const Rect widest{0, 0, 1, 4095};
    for (auto [depth, r] : {std::pair{32, Rect{0, 0, 0, 10}},
                            {32, Rect{0, 10, 5, 0}},
                            {32, Rect{0, 0, 1, 4096}},
                            {8, widest}}) {
        gw = reinterpret_cast<GWorldPtr>(1);
        EXPECT_EQ(NewGWorld(&gw, short(depth), &r, nullptr, nullptr, 0), paramErr);
        EXPECT_EQ(gw, nullptr);
    }
    ASSERT_EQ(NewGWorld(&gw, 32, &widest, nullptr, nullptr, 0), noErr);
    EXPECT_LE(GetPixRowBytes(GetGWorldPixMap(gw)), 0x3FFF);
    DisposeGWorld(gw);
}

// A disposed buffer is forgotten as the current port, and its pixel memory goes to the next
// buffer that fits.
TEST(QuickDraw, DisposalForgetsTheCurrentPortAndKeepsThePixelMemoryForOneThatFits) {
    SavedGWorldRec saved;
    GWorldPtr a = MakeWorld(640, 480);
    SetGWorld(a, nullptr);
    Ptr memory = GetPixBaseAddr(GetGWorldPixMap(a));
    DisposeGWorld(a);
    CGrafPtr port = a;
    GDHandle device = nullptr;
    GetGWorld(&port, &device);
    EXPECT_EQ(port, nullptr);
    Rect r{0, 0, 1, 1};
    PaintRect(&r); // no port: nothing happens
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

TEST(QuickDraw, RectanglesAreClippedToBoundsAndClipRectInThePensMode) {
    Canvas c(6, 5);
    RGBColor red{0xFFFF, 0x0000, 0x1234};
    Rect all{-10, -10, 50, 50}, clip{1, 1, 4, 5};
    ClipRect(&clip);
    RGBForeColor(&red);
    PaintRect(&all);
    const UInt32 kRed = 0xFFFF0012;
    for (int v = 0; v < 5; ++v)
        for (int h = 0; h < 6; ++h)
            EXPECT_EQ(c.At(h, v), v >= 1 && v < 4 && h >= 1 && h < 5 ? kRed : kWhite) << h << "," << v;
    InvertRect(&all);
    EXPECT_EQ(c.At(1, 1), 0xFF00FFEDu); // colour inverted, alpha kept
    EXPECT_EQ(c.At(0, 0), kWhite);
    ClipRect(&all);
    EraseRect(&all);
    FrameRect(&clip);
    for (int v = 0; v < 5; ++v)
        for (int h = 0; h < 6; ++h) {
            bool edge = (v >= 1 && v < 4 && h >= 1 && h < 5) && (v == 1 || v == 3 || h == 1 || h == 4);
            EXPECT_EQ(c.At(h, v), edge ? kRed : kWhite) << h << "," << v;
        }
    PenMode(patXor);
    PaintRect(&clip); // inverts the frame and what it holds
    EXPECT_EQ(c.At(1, 1), 0xFF00FFEDu);
    EXPECT_EQ(c.At(2, 2), kBlack);
    PenNormal();
}

TEST(QuickDraw, DrawingRespectsPaddedRows) {
    SavedGWorldRec saved;
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
    EXPECT_EQ(At(gw, 3, 4), At(src, 1, 1));
    DisposeGWorld(gw);
    DisposeGWorld(src);
    EXPECT_EQ(NewGWorldFromPtr(&gw, k32ARGBPixelFormat, &b, nullptr, nullptr, 0,
                               reinterpret_cast<Ptr>(memory.data()), 12),
              paramErr);
}

// Against a plain per-pixel nearest-neighbour copy from a snapshot, over random rectangles
// that reach outside both buffers, unscaled, scaled one way or both, with a clip rectangle and
// with source and destination as one buffer, overlapping.
TEST(QuickDraw, CopyBitsMatchesAPlainCopyEverywhere) {
    SavedGWorldRec saved;
    std::mt19937 rng(7);
    auto coord = [&](int lo, int hi) { return int(std::uniform_int_distribution<int>(lo, hi)(rng)); };
    for (int trial = 0; trial < 2000; ++trial) {
        bool same = trial % 3 == 0;
        GWorldPtr src = MakeWorld(short(coord(1, 12)), short(coord(1, 9)));
        GWorldPtr dst = same ? src : MakeWorld(short(coord(1, 12)), short(coord(1, 9)));
        FillPattern(src, 1);
        if (!same) FillPattern(dst, 2);
        Rect sb, db;
        GetPortBounds(src, &sb);
        GetPortBounds(dst, &db);
        const std::vector<UInt32> before = Pixels(src);
        std::vector<UInt32> expected = Pixels(dst);

        Rect s{SInt16(coord(-4, 8)), SInt16(coord(-4, 10)), 0, 0},
            d{SInt16(coord(-4, 8)), SInt16(coord(-4, 10)), 0, 0};
        s.bottom = SInt16(s.top + coord(0, 10));
        s.right = SInt16(s.left + coord(0, 12));
        d.bottom = SInt16(d.top + coord(0, 10));
        d.right = SInt16(d.left + coord(0, 12));
        if (same && trial % 8 == 1) d.top = SInt16(s.top + 1);           // one row down, overlapping
        if (trial % 4 == 1) d.bottom = SInt16(d.top + s.bottom - s.top); // unscaled, or scaled
        if (trial % 4 != 3) d.right = SInt16(d.left + s.right - s.left); // one way only
        Rect clip{SInt16(coord(-2, 4)), SInt16(coord(-2, 4)), SInt16(coord(3, 12)), SInt16(coord(3, 14))};
        bool clipped = trial % 2 == 0;
        SetGWorld(dst, nullptr);
        Rect open{-32768, -32768, 32767, 32767};
        ClipRect(clipped ? &clip : &open);

        int sw = s.right - s.left, sh = s.bottom - s.top, dw = d.right - d.left, dh = d.bottom - d.top;
        if (sw > 0 && sh > 0 && dw > 0 && dh > 0) {
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
        ASSERT_EQ(Pixels(dst), expected) << "trial " << trial;
        SetGWorld(nullptr, nullptr);
        DisposeGWorld(src);
        if (!same) DisposeGWorld(dst);
    }
}

TEST(QuickDraw, PicturesDrawScaledIntoTheCurrentPort) {
    const UInt8 pixels[8] = {255, 1, 2, 3, 255, 4, 5, 6};
    PicHandle pic = toolbox::NewPictureFromPixels(pixels, 2, 1, 8);
    ASSERT_NE(pic, nullptr);
    EXPECT_EQ((*pic)->picFrame.right, 2);
    Canvas c(4, 2);
    Rect r{0, 0, 2, 4};
    DrawPicture(pic, &r);
    EXPECT_EQ(c.At(1, 1), 0xFF010203u);
    EXPECT_EQ(c.At(2, 0), 0xFF040506u);
    KillPicture(pic);
    EXPECT_EQ(toolbox::NewPictureFromPixels(pixels, 0, 1, 8), nullptr);
}

TEST(Ovals, AFramedOvalIsASymmetricRingInsideItsRectangleAndClip) {
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
    Rect big{0, 0, 20, 20}, left{0, 0, 20, 10};
    ClipRect(&left);
    FrameOval(&big);
    EXPECT_EQ(c.At(0, 9), kBlack);
    EXPECT_EQ(c.At(19, 10), kWhite); // right of the clip rectangle
    Rect off{-50, -50, -10, -10};
    FrameOval(&off); // wholly outside: nothing happens
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
    EXPECT_EQ(c.At(15, 15), 0xFF808080u);
    const std::vector<UInt32> before = Pixels(c.gw);
    PenMode(patXor);
    FrameOval(&r);
    EXPECT_EQ(c.At(15, 5), kBlack);
    FrameOval(&r);
    EXPECT_EQ(Pixels(c.gw), before);
}

// Ink lies above the baseline within the text's width; widths add up and grow with the size.
TEST(Text, DrawStringInksAboveTheBaselineAndMovesThePenByTheWidth) {
    Canvas c(100, 40);
    Str255 text = "\x04Wash", hi = "\x02Hi", h = "\x01H", i = "\x01i", empty = "", roman = "\x01\x8E"; // é
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
                EXPECT_TRUE(h >= 10 && h <= pen.h + 1 && v <= 25 && v >= 25 - 12) << h << "," << v;
            }
    EXPECT_GT(inked, 20);
    EXPECT_EQ(StringWidth(hi), StringWidth(h) + StringWidth(i));
    EXPECT_EQ(StringWidth(empty), 0);
    EXPECT_GT(StringWidth(roman), 0);
    const short small = StringWidth(text);
    TextSize(24);
    EXPECT_GT(StringWidth(text), small * 3 / 2);
    FontInfo info;
    GetFontInfo(&info);
    EXPECT_GT(info.ascent, 16);
    EXPECT_GT(info.descent, 2);
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
    mediafiles::TempDir dir;
    std::string error;
    ASSERT_TRUE(toolbox::WritePortPNG(c.gw, dir / "port.png", error)) << error;
    const std::vector<UInt8> png = mediafiles::DecodeArgb(dir / "port.png");
    std::vector<UInt32> decoded;
    for (size_t i = 0; i + 3 < png.size(); i += 4)
        decoded.push_back(UInt32(png[i]) << 24 | UInt32(png[i + 1]) << 16 | UInt32(png[i + 2]) << 8 |
                          png[i + 3]);
    EXPECT_EQ(decoded, Pixels(c.gw));
    EXPECT_FALSE(toolbox::WritePortPNG(c.gw, "/nonexistent/dir/x.png", error));
    EXPECT_NE(error.find("/nonexistent/dir/x.png"), std::string::npos);
}

// Brush compositing: painting, blending, combining, smudging and plotting around one brush
// position, and rotating a rectangle of one buffer into another.
#include "render/pixelCompositing.h"

#include "render/pixelAccess.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

namespace {

// The high byte of a 16-bit colour channel.
inline UInt8 HighByte(UInt16 channel) {
    return UInt8(channel / 256);
}

// The rows or columns lo to hi (inclusive) of a square, clipped to 0 .. size - 1.
struct SpanRec {
    SInt32 lo, hi;
};

inline SpanRec ClipSpan(SInt32 lo, SInt32 hi, SInt32 size) {
    return SpanRec{std::max<SInt32>(lo, 0), std::min<SInt32>(hi, size - 1)};
}

} // namespace

void SetPixmapPixels(GWorldPtr theDest, Rect theActiveRect, UInt8 r, UInt8 g, UInt8 b) {
    if (!theDest) return;
    PixelAccessRec a(theDest);
    const PixRec colour{0, r, g, b};
    WalkArea1(a, ClipToBuffer(theActiveRect, a.width, a.height), [=](PixRec* p) { *p = colour; });
}

void PSetGWPixelUsingAlpha(GWorldPtr theSource, SInt16 x, SInt16 y, double theAlpha, RGBColor theRGB,
                           SInt16 theSize) {
    if (!theSource) return;
    PixelAccessRec a(theSource);
    if (!a.Contains(x, y)) return;
    // Each channel is the low byte of trunc(old * (1 - alpha)) + trunc(colour * alpha); the
    // low byte of a sum is the low byte of the sum of the low bytes, so both terms are
    // tabled as bytes once.
    const double keep = 1.0 - theAlpha;
    std::array<UInt8, 256> oldTerm;
    for (SInt32 c = 0; c < 256; ++c)
        oldTerm[size_t(c)] = UInt8(TruncSaturated<SInt32>(c * keep));
    auto colourTerm = [&](UInt16 channel) {
        return UInt8(TruncSaturated<SInt32>(HighByte(channel) * theAlpha));
    };
    const UInt8 tR = colourTerm(theRGB.red), tG = colourTerm(theRGB.green), tB = colourTerm(theRGB.blue);

    const SpanRec rows = ClipSpan(y, SInt32(y) + theSize - 1, a.height);
    const SpanRec cols = ClipSpan(x, SInt32(x) + theSize - 1, a.width);
    for (SInt32 v = rows.hi; v >= rows.lo; --v) {
        for (SInt32 h = cols.hi; h >= cols.lo; --h) {
            PixRec* p = a.At(h, v);
            p->red = UInt8(oldTerm[p->red] + tR);
            p->green = UInt8(oldTerm[p->green] + tG);
            p->blue = UInt8(oldTerm[p->blue] + tB);
        }
    }
}

void PSetGWPixelAndAlpha(GWorldPtr theSource, SInt16 x, SInt16 y, RGBColor theRGB, SInt16 alpha,
                         SInt16 theSize) {
    if (!theSource) return;
    PixelAccessRec a(theSource);
    if (!a.Contains(x, y)) return;
    const PixRec pixel{UInt8(alpha), HighByte(theRGB.red), HighByte(theRGB.green), HighByte(theRGB.blue)};
    const SpanRec rows = ClipSpan(y, SInt32(y) + theSize - 1, a.height);
    const SpanRec cols = ClipSpan(x, SInt32(x) + theSize - 1, a.width);
    for (SInt32 v = rows.hi; v >= rows.lo; --v)
        for (SInt32 h = cols.hi; h >= cols.lo; --h)
            *a.At(h, v) = pixel;
}

void PCombineGWAndPutUsingAlpha(GWorldPtr theSource1, GWorldPtr theSource2, GWorldPtr theTarget, SInt16 sx,
                                SInt16 sy, SInt16 tx, SInt16 ty, SInt16 alpha, Boolean invertAlpha,
                                SInt16 theSize) {
    if (!theSource1 || !theSource2 || !theTarget) return;
    const SInt32 weight = invertAlpha ? 255 - SInt32(alpha) : alpha;
    const double p = weight / 255.0, q = 1.0 - p;
    PixelAccessRec s1(theSource1), s2(theSource2), target(theTarget);
    const SInt16 depth = GetGWDepth(theTarget);
    if (!s1.Contains(sx, sy)) return;

    // Offsets h and v run from theSize - 1 down to 0, limited to the positions that lie
    // inside both sources and the target.
    const SInt32 hHi =
        std::min({SInt32(theSize) - 1, target.width - 1 - tx, s1.width - 1 - sx, s2.width - 1 - sx});
    const SInt32 vHi =
        std::min({SInt32(theSize) - 1, target.height - 1 - ty, s1.height - 1 - sy, s2.height - 1 - sy});
    const SInt32 hLo = std::max<SInt32>(0, -tx), vLo = std::max<SInt32>(0, -ty);
    for (SInt32 v = vHi; v >= vLo; --v) {
        for (SInt32 h = hHi; h >= hLo; --h) {
            PixRec result = *s1.At(sx + h, sy + v);
            const PixRec p2 = *s2.At(sx + h, sy + v);
            result.red = UInt8(SInt32(result.red * p + p2.red * q));
            result.green = UInt8(SInt32(result.green * p + p2.green * q));
            result.blue = UInt8(SInt32(result.blue * p + p2.blue * q));
            if (depth == 32)
                *target.At(tx + h, ty + v) = result;
            else
                Put32BitPixelInPixmap(result, target.base, SInt16(tx + h), SInt16(ty + v), target.rowBytes,
                                      depth);
        }
    }
}

void PSmudgePixel(GWorldPtr theSource1, GWorldPtr theSource2, SInt16 radius, SInt16 x, SInt16 y,
                  Boolean useS2Alpha, SInt16 smudgeAlpha, PixRec& result) {
    if (!theSource1 || radius < 0) return;
    PixelAccessRec s1(theSource1);
    if (!s1.Contains(x, y)) return;
    std::optional<PixelAccessRec> s2;
    if (theSource2) s2.emplace(theSource2);

    SInt64 red = 0, green = 0, blue = 0;
    double weight = 0.0;
    const SpanRec cols = ClipSpan(SInt32(x) - radius, SInt32(x) + radius, s1.width);
    const SpanRec rows = ClipSpan(SInt32(y) - radius, SInt32(y) + radius, s1.height);
    for (SInt32 h = cols.lo; h <= cols.hi; ++h) {
        for (SInt32 v = rows.lo; v <= rows.hi; ++v) {
            const PixRec p1 = *s1.At(h, v);
            red += p1.red;
            green += p1.green;
            blue += p1.blue;
            weight += 1.0;
            if (!s2 || !s2->Contains(h, v)) continue;
            const PixRec p2 = *s2->At(h, v);
            if (!useS2Alpha) {
                red += p2.red;
                green += p2.green;
                blue += p2.blue;
                weight += 1.0;
            } else {
                const double a = p2.alpha / 255.0;
                red += SInt32(a * p2.red);
                green += SInt32(a * p2.green);
                blue += SInt32(a * p2.blue);
                weight += a;
            }
        }
    }
    result.red = UInt8(SInt64(red / weight));
    result.green = UInt8(SInt64(green / weight));
    result.blue = UInt8(SInt64(blue / weight));
    result.alpha = UInt8(smudgeAlpha);
}

void PPlotPixel(GWorldPtr theTarget, SInt16 x, SInt16 y, SInt16 size, Boolean, Boolean, PixRec thePixel) {
    if (!theTarget) return;
    PixelAccessRec a(theTarget);
    if (!a.Contains(x, y)) return;
    const SpanRec rows = ClipSpan(SInt32(y) - size, SInt32(y) + size, a.height);
    const SpanRec cols = ClipSpan(SInt32(x) - size, SInt32(x) + size, a.width);
    for (SInt32 v = rows.lo; v <= rows.hi; ++v)
        for (SInt32 h = cols.lo; h <= cols.hi; ++h)
            *a.At(h, v) = thePixel;
}

void RotatePixmap(GWorldPtr theSource, GWorldPtr theDest, Rect theActiveRect, double phi) {
    if (!theSource || !theDest || !std::isfinite(phi)) return;
    PixelAccessRec src(theSource), dst(theDest);
    const double sinF = std::sin(phi), cosF = std::cos(phi);
    const SInt32 left = theActiveRect.left, top = theActiveRect.top;
    const SInt32 wid = std::abs(SInt32(theActiveRect.right) - left) / 2;
    const SInt32 hig = std::abs(SInt32(theActiveRect.bottom) - top) / 2;
    const PixelAreaRec area = ClipToBuffer(theActiveRect, src.width, src.height);
    for (SInt32 row = area.top; row < area.bottom; ++row) {
        const SInt32 y = row - hig - top;
        const PixRec* s = src.At(area.left, row);
        for (SInt32 col = area.left; col < area.right; ++col, ++s) {
            const SInt32 x = col - wid - left;
            const SInt32 xS = SInt32(x * cosF - y * sinF) + wid + left;
            const SInt32 yS = SInt32(y * cosF + x * sinF) + hig + top;
            if (!dst.Contains(xS, yS)) continue;
            // The second store closes the one-pixel gaps that a forward rotation leaves.
            PixRec* target = dst.At(xS, yS);
            const PixRec pixel = *s;
            *target = pixel;
            if (xS > 0) target[-1] = pixel;
        }
    }
}

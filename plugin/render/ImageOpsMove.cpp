// Operations that move pixels to computed places: scrolling with wrap-around and the
// four-corner distortion with its bilinear map and pixel averaging.
#include "render/ImageOps.h"

#include "render/pixelAccess.h"

#include <algorithm>

void RollGWorlds(GWorldPtr source1, GWorldPtr dest, Rect activeRect, SInt16 hDisp, SInt16 vDisp,
                 Boolean roll) {
    if (!source1 || !dest || source1 == dest) return;
    PixelAccessRec src(source1), dst(dest);
    if (!src.SameSize(dst)) return;
    const PixelAreaRec area = ClipToBuffer(activeRect, src.width, src.height);
    const SInt32 wid = std::max<SInt32>(area.right - area.left, 1);
    const SInt32 hig = std::max<SInt32>(area.bottom - area.top, 1);
    SInt32 h = hDisp, v = vDisp;
    if (roll) {
        h %= wid;
        v %= hig;
    }
    // Returns the new place of pos in [lo, hi), or -1 when the pixel is dropped.
    auto place = [roll](SInt32 pos, SInt32 lo, SInt32 hi, SInt32 size) -> SInt32 {
        if (pos >= hi) return roll ? pos - size : -1;
        if (pos < lo) return roll ? pos + size : -1;
        return pos;
    };
    for (SInt32 r = area.top; r < area.bottom; ++r) {
        const SInt32 yNew = place(r + v, area.top, area.bottom, hig);
        if (yNew < 0) continue;
        const PixRec* s = src.At(area.left, r);
        PixRec* target = dst.Row(yNew);
        for (SInt32 c = area.left; c < area.right; ++c, ++s) {
            const SInt32 xNew = place(c + h, area.left, area.right, wid);
            if (xNew >= 0) target[xNew] = *s;
        }
    }
}

namespace {

// The bilinear map of a rectangle onto the quadrilateral tl, tr, bl, br.
struct QuadMapRec {
    SInt32 left, top;
    double oWid, oHig;
    Point tl, tr, bl, br;
};

inline QuadMapRec MakeQuadMap(const Rect& origRect, Point tl, Point tr, Point bl, Point br) {
    return QuadMapRec{origRect.left,
                      origRect.top,
                      double(SInt32(origRect.right) - origRect.left),
                      double(SInt32(origRect.bottom) - origRect.top),
                      tl,
                      tr,
                      bl,
                      br};
}

inline double RowFraction(const QuadMapRec& m, SInt32 y) {
    return (y - m.top) / m.oHig;
}

inline void MapPoint(const QuadMapRec& m, SInt32 x, double v, SInt16& nx, SInt16& ny) {
    const double u = (x - m.left) / m.oWid;
    const double upperH = m.tl.h + u * (m.tr.h - m.tl.h);
    const double upperV = m.tl.v + u * (m.tr.v - m.tl.v);
    const double lowerH = m.bl.h + u * (m.br.h - m.bl.h);
    const double lowerV = m.bl.v + u * (m.br.v - m.bl.v);
    nx = TruncSaturated<SInt16>(upperH + v * (lowerH - upperH));
    ny = TruncSaturated<SInt16>(upperV + v * (lowerV - upperV));
}

} // namespace

void CalcNewCoords(Rect origRect, Point tl, Point tr, Point bl, Point br, SInt16 x, SInt16 y, SInt16& nx,
                   SInt16& ny) {
    const QuadMapRec m = MakeQuadMap(origRect, tl, tr, bl, br);
    MapPoint(m, x, RowFraction(m, y), nx, ny);
}

void AvgPixels(PixRec& newPixel, PixRec oldPixel) {
    const SInt32 n = oldPixel.alpha;
    newPixel.red = UInt8((oldPixel.red * n + newPixel.red) / (n + 1));
    newPixel.green = UInt8((oldPixel.green * n + newPixel.green) / (n + 1));
    newPixel.blue = UInt8((oldPixel.blue * n + newPixel.blue) / (n + 1));
    newPixel.alpha = UInt8(std::min(n + 1, 255));
}

void DistortGWorlds(GWorldPtr source1, GWorldPtr dest, Rect activeRect, Point tl, Point tr, Point bl,
                    Point br, Boolean collectAndAverage) {
    if (!source1 || !dest || source1 == dest) return;
    PixelAccessRec src(source1), dst(dest);
    if (!src.SameSize(dst)) return;
    const PixelAreaRec area = ClipToBuffer(activeRect, src.width, src.height);
    const QuadMapRec m = MakeQuadMap(activeRect, tl, tr, bl, br);
    for (SInt32 row = area.top; row < area.bottom; ++row) {
        const double v = RowFraction(m, row);
        const PixRec* s = src.At(area.left, row);
        for (SInt32 col = area.left; col < area.right; ++col, ++s) {
            SInt16 x, y;
            MapPoint(m, col, v, x, y);
            if (!dst.Contains(x, y)) continue;
            PixRec* target = dst.At(x, y);
            PixRec pixel = *s;
            if (collectAndAverage) AvgPixels(pixel, *target);
            *target = pixel;
        }
    }
}

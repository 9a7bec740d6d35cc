// Conversions truncate toward zero and never clamp, so a rectangle reaching outside the
// frame stays outside it. A frame of no width or height has no relative coordinates:
// conversions from such a frame give zeros rather than dividing by zero.
#include "model/relRects.h"

#include <algorithm>
#include <cstdint>

namespace {

SInt16 FrameWidth(const Rect& f) {
    return SInt16(f.right - f.left);
}
SInt16 FrameHeight(const Rect& f) {
    return SInt16(f.bottom - f.top);
}

// trunc(size × rel) + edge, kept to 16 bits as a pixel coordinate. Values past the 32-bit
// range have no meaningful pixel: the product and then its sum with the edge are pinned to
// 32 bits before the low 16 bits are taken.
SInt16 ToPixel(SInt16 size, double rel, SInt16 edge) {
    double scaled = double(size) * rel;
    if (!(scaled > -2147483648.0)) scaled = -2147483648.0;
    if (scaled > 2147483647.0) scaled = 2147483647.0;
    SInt64 sum = std::clamp<SInt64>(SInt64(SInt32(scaled)) + edge, INT32_MIN, INT32_MAX);
    return SInt16(SInt32(sum));
}

double ToRel(SInt16 offset, SInt16 size) {
    return size == 0 ? 0.0 : double(offset) / double(size);
}

} // namespace

void InitRelRect(RelRect& theRel) {
    theRel = RelRect{0.0, 1.0, 0.0, 1.0};
}

RelRect SetRelRect(double left, double top, double right, double bottom) {
    return RelRect{left, right, top, bottom};
}

Rect Rel2Rect(const RelRect& theRel, const Rect& theFrame) {
    SInt16 wid = FrameWidth(theFrame);
    SInt16 hig = FrameHeight(theFrame);
    Rect r;
    r.left = ToPixel(wid, theRel.left, theFrame.left);
    r.right = ToPixel(wid, theRel.right, theFrame.left);
    r.top = ToPixel(hig, theRel.top, theFrame.top);
    r.bottom = ToPixel(hig, theRel.bottom, theFrame.top);
    return r;
}

RelRect Rect2Rel(const Rect& theRect, const Rect& theFrame) {
    SInt16 wid = FrameWidth(theFrame);
    SInt16 hig = FrameHeight(theFrame);
    RelRect rel;
    rel.left = ToRel(SInt16(theRect.left - theFrame.left), wid);
    rel.right = ToRel(SInt16(theRect.right - theFrame.left), wid);
    rel.top = ToRel(SInt16(theRect.top - theFrame.top), hig);
    rel.bottom = ToRel(SInt16(theRect.bottom - theFrame.top), hig);
    return rel;
}

Point Rel2Point(const RelPoint& theRel, const Rect& theFrame) {
    Point p;
    p.h = ToPixel(FrameWidth(theFrame), theRel.horiz, theFrame.left);
    p.v = ToPixel(FrameHeight(theFrame), theRel.vert, theFrame.top);
    return p;
}

RelPoint Point2Rel(Point thePoint, const Rect& theFrame) {
    return RelPoint{ToRel(SInt16(thePoint.h - theFrame.left), FrameWidth(theFrame)),
                    ToRel(SInt16(thePoint.v - theFrame.top), FrameHeight(theFrame))};
}

RelRect CalcTweenRel(SInt32 startFrameNum, SInt32 endFrameNum, SInt32 currFrameNum, const RelRect& sourceRel,
                     const RelRect& targetRel) {
    if (currFrameNum < startFrameNum) return sourceRel;
    if (currFrameNum > endFrameNum) return targetRel;
    // A tween of one frame stays at its source.
    if (endFrameNum == startFrameNum) return sourceRel;
    double frames = double(SInt64(endFrameNum) - startFrameNum);
    double n = double(SInt64(currFrameNum) - startFrameNum);
    auto tween = [&](double from, double to) { return from + (n * (to - from)) / frames; };
    RelRect r;
    r.left = tween(sourceRel.left, targetRel.left);
    r.top = tween(sourceRel.top, targetRel.top);
    r.right = tween(sourceRel.right, targetRel.right);
    r.bottom = tween(sourceRel.bottom, targetRel.bottom);
    return r;
}

// CopyBits, solid rectangles and pictures. Every routine clips first (destination bounds,
// the current port's clip rectangle, source bounds) and then walks rows by rowBytes.
#include "Ports.h"

#include "../ToolboxState.h"
#include "toolbox/MacMemory.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

using toolbox::gToolbox;
using toolbox::qd::kRowBytesMask;

// Rectangles in int, so that clipping never wraps.
struct Box {
    int top, left, bottom, right;
    bool Empty() const { return bottom <= top || right <= left; }
    Box Intersect(const Box& o) const {
        return {std::max(top, o.top), std::max(left, o.left), std::min(bottom, o.bottom),
                std::min(right, o.right)};
    }
};

Box BoxOf(const Rect& r) {
    return {r.top, r.left, r.bottom, r.right};
}

struct Pixels {
    UInt8* base;
    long rowBytes;
    Box bounds;
    UInt8* At(int h, int v) const {
        return base + long(v - bounds.top) * rowBytes + long(h - bounds.left) * 4;
    }
};

// A BitMap handed to CopyBits may be the head of a port's PixMap (as on the platform), so
// its fields are read bytewise rather than through the BitMap type.
Pixels PixelsOf(const BitMap* bm) {
    BitMap fields;
    std::memcpy(&fields, bm, sizeof fields);
    return {reinterpret_cast<UInt8*>(fields.baseAddr), long(fields.rowBytes) & kRowBytesMask,
            BoxOf(fields.bounds)};
}

Pixels PixelsOf(const PixMap& pm) {
    return {reinterpret_cast<UInt8*>(pm.baseAddr), long(pm.rowBytes) & kRowBytesMask, BoxOf(pm.bounds)};
}

// The area a drawing routine may touch in a port.
Box Drawable(const GrafPort* port) {
    return BoxOf(port->portRect).Intersect(BoxOf(port->clipRect));
}

void FillBox(const Pixels& px, const Box& box, UInt32 value) {
    for (int v = box.top; v < box.bottom; ++v) {
        auto* row = reinterpret_cast<UInt32*>(px.At(box.left, v));
        std::fill(row, row + (box.right - box.left), value);
    }
}

// Fills r in the current port, clipped.
void FillInCurrentPort(const Rect* r, const RGBColor& color) {
    GrafPort* port = gToolbox.currentPort;
    if (!port || !r) return;
    Box box = BoxOf(*r).Intersect(Drawable(port));
    if (box.Empty()) return;
    FillBox(PixelsOf(port->pixMap), box, toolbox::qd::OpaquePixel(color));
}

// Source coordinate for each destination coordinate d in [from, to) of the span dstLo..dstLo+dstLen
// mapped onto srcLo..srcLo+srcLen (nearest neighbour, rounding down).
int MapCoord(int d, int dstLo, int dstLen, int srcLo, int srcLen) {
    return srcLo + int((long long)(d - dstLo) * srcLen / dstLen);
}

// Narrows [lo, hi) of destination coordinates to those whose source lies in [srcMin, srcMax).
// The mapping is monotonic, so the valid ones form one run.
void KeepMappedInside(int& lo, int& hi, int dstLo, int dstLen, int srcLo, int srcLen, int srcMin,
                      int srcMax) {
    while (lo < hi && MapCoord(lo, dstLo, dstLen, srcLo, srcLen) < srcMin)
        ++lo;
    while (hi > lo && MapCoord(hi - 1, dstLo, dstLen, srcLo, srcLen) >= srcMax)
        --hi;
}

bool Overlap(const UInt8* a0, const UInt8* a1, const UInt8* b0, const UInt8* b1) {
    return a0 < b1 && b0 < a1;
}

void CopyUnscaled(const Pixels& src, const Pixels& dst, const Box& dbox, int dh, int dv) {
    size_t rowLen = size_t(dbox.right - dbox.left) * 4;
    // Bottom-up when the destination rows lie after the source rows in the same memory.
    bool upward = dst.At(dbox.left, dbox.top) > src.At(dbox.left + dh, dbox.top + dv);
    for (int i = 0; i < dbox.bottom - dbox.top; ++i) {
        int v = upward ? dbox.bottom - 1 - i : dbox.top + i;
        std::memmove(dst.At(dbox.left, v), src.At(dbox.left + dh, v + dv), rowLen);
    }
}

void CopyScaled(Pixels src, const Pixels& dst, const Box& dbox, const Box& s, const Box& d) {
    std::vector<int> columns(size_t(dbox.right - dbox.left));
    for (int h = dbox.left; h < dbox.right; ++h)
        columns[size_t(h - dbox.left)] = MapCoord(h, d.left, d.right - d.left, s.left, s.right - s.left);
    int firstRow = MapCoord(dbox.top, d.top, d.bottom - d.top, s.top, s.bottom - s.top);
    int lastRow = MapCoord(dbox.bottom - 1, d.top, d.bottom - d.top, s.top, s.bottom - s.top);

    // When source and destination memory overlap, read from a snapshot of the source rows.
    std::vector<UInt8> snapshot;
    const UInt8* srcStart = src.At(src.bounds.left, firstRow);
    const UInt8* srcEnd = src.At(src.bounds.left, lastRow) + src.rowBytes;
    const UInt8* dstStart = dst.At(dst.bounds.left, dbox.top);
    const UInt8* dstEnd = dst.At(dst.bounds.left, dbox.bottom - 1) + dst.rowBytes;
    if (Overlap(srcStart, srcEnd, dstStart, dstEnd)) {
        snapshot.assign(srcStart, srcEnd);
        src.base = snapshot.data();
        src.bounds.top = firstRow;
    }
    for (int v = dbox.top; v < dbox.bottom; ++v) {
        int sv = MapCoord(v, d.top, d.bottom - d.top, s.top, s.bottom - s.top);
        const UInt8* srow = src.At(src.bounds.left, sv);
        UInt8* drow = dst.At(dbox.left, v);
        for (size_t i = 0; i < columns.size(); ++i)
            std::memcpy(drow + 4 * i, srow + long(columns[i] - src.bounds.left) * 4, 4);
    }
}

// The copy behind CopyBits and DrawPicture; `clip` is the extra clip of the destination.
void CopyPixels(const Pixels& src, const Pixels& dst, const Rect& srcRect, const Rect& dstRect,
                const Box& clip) {
    if (!src.base || !dst.base) return;
    Box s = BoxOf(srcRect), d = BoxOf(dstRect);
    if (s.Empty() || d.Empty()) return;
    Box dbox = d.Intersect(dst.bounds).Intersect(clip);
    if (dbox.Empty()) return;
    int sw = s.right - s.left, sh = s.bottom - s.top, dw = d.right - d.left, dh = d.bottom - d.top;
    KeepMappedInside(dbox.left, dbox.right, d.left, dw, s.left, sw, src.bounds.left, src.bounds.right);
    KeepMappedInside(dbox.top, dbox.bottom, d.top, dh, s.top, sh, src.bounds.top, src.bounds.bottom);
    if (dbox.Empty()) return;
    if (sw == dw && sh == dh)
        CopyUnscaled(src, dst, dbox, s.left - d.left, s.top - d.top);
    else
        CopyScaled(src, dst, dbox, s, d);
}

constexpr Box kNoClip{-32768, -32768, 32767, 32767};

// A picture's block: the platform header, then the image.
struct PictureImage {
    Picture header;
    SInt32 width;
    SInt32 height;
    SInt32 rowBytes;
};

} // namespace

namespace toolbox {

UInt32 qd::OpaquePixel(const RGBColor& c) {
    const UInt8 bytes[4] = {0xFF, UInt8(c.red >> 8), UInt8(c.green >> 8), UInt8(c.blue >> 8)};
    UInt32 value;
    std::memcpy(&value, bytes, 4);
    return value;
}

PicHandle NewPictureFromPixels(const UInt8* pixels, int width, int height, long rowBytes) {
    if (!pixels || width < 1 || width > qd::kMaxWidth || height < 1 || height > 32767 ||
        rowBytes < long(width) * 4)
        return nullptr;
    size_t pixelBytes = size_t(width) * 4 * size_t(height);
    Handle h = NewHandle(Size(sizeof(PictureImage) + pixelBytes));
    if (!h) return nullptr;
    auto* image = reinterpret_cast<PictureImage*>(*h);
    image->header.picSize = SInt16(sizeof(PictureImage) + pixelBytes);
    image->header.picFrame = Rect{0, 0, SInt16(height), SInt16(width)};
    image->width = width;
    image->height = height;
    image->rowBytes = width * 4;
    UInt8* out = reinterpret_cast<UInt8*>(image + 1);
    for (int v = 0; v < height; ++v)
        std::memcpy(out + size_t(v) * size_t(width) * 4, pixels + v * rowBytes, size_t(width) * 4);
    return reinterpret_cast<PicHandle>(h);
}

} // namespace toolbox

extern "C" {

void CopyBits(const BitMap* srcBits, const BitMap* dstBits, const Rect* srcRect, const Rect* dstRect, short,
              RgnHandle) {
    if (!srcBits || !dstBits || !srcRect || !dstRect) return;
    GrafPort* current = gToolbox.currentPort;
    bool intoCurrent = current && dstBits == reinterpret_cast<const BitMap*>(&current->pixMap);
    CopyPixels(PixelsOf(srcBits), PixelsOf(dstBits), *srcRect, *dstRect,
               intoCurrent ? BoxOf(current->clipRect) : kNoClip);
}

void RGBForeColor(const RGBColor* color) {
    if (gToolbox.currentPort && color) gToolbox.currentPort->fgColor = *color;
}

void RGBBackColor(const RGBColor* color) {
    if (gToolbox.currentPort && color) gToolbox.currentPort->bgColor = *color;
}

void PaintRect(const Rect* r) {
    if (r) toolbox::qd::PenRect(*r, false);
}

void EraseRect(const Rect* r) {
    if (gToolbox.currentPort) FillInCurrentPort(r, gToolbox.currentPort->bgColor);
}

void FrameRect(const Rect* r) {
    if (r) toolbox::qd::PenRect(*r, true);
}

void InvertRect(const Rect* r) {
    GrafPort* port = gToolbox.currentPort;
    if (!port || !r) return;
    Box box = BoxOf(*r).Intersect(Drawable(port));
    if (box.Empty()) return;
    Pixels px = PixelsOf(port->pixMap);
    for (int v = box.top; v < box.bottom; ++v) {
        UInt8* p = px.At(box.left, v);
        for (int h = box.left; h < box.right; ++h, p += 4) {
            p[1] = UInt8(~p[1]);
            p[2] = UInt8(~p[2]);
            p[3] = UInt8(~p[3]);
        }
    }
}

void ClipRect(const Rect* r) {
    if (gToolbox.currentPort && r) gToolbox.currentPort->clipRect = *r;
}

void DrawPicture(PicHandle myPicture, const Rect* dstRect) {
    GrafPort* port = gToolbox.currentPort;
    if (!port || !myPicture || !*myPicture || !dstRect) return;
    if (GetHandleSize(reinterpret_cast<Handle>(myPicture)) < Size(sizeof(PictureImage))) return;
    const auto* image = reinterpret_cast<const PictureImage*>(*myPicture);
    Pixels src{const_cast<UInt8*>(reinterpret_cast<const UInt8*>(image + 1)), long(image->rowBytes),
               Box{0, 0, image->height, image->width}};
    Pixels dst = PixelsOf(port->pixMap);
    CopyPixels(src, dst, image->header.picFrame, *dstRect, BoxOf(port->clipRect));
}

void KillPicture(PicHandle myPicture) {
    DisposeHandle(reinterpret_cast<Handle>(myPicture));
}

} // extern "C"

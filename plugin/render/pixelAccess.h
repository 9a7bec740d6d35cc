// Scoped direct access to a buffer's pixels, shared by the effect's pass, the render pass,
// the image operations and the brush compositing. The buffer is locked while the record lives
// and its saved pixel state is put back on every way out, early returns included; records
// taken in turn are put back in the reverse order, so a buffer taken twice ends in the state
// it had before the first. Coordinates are relative to the buffer's top-left corner (its
// bounds moved to the origin), so the pixel at (x, y) lies at base + y * rowBytes + 4 * x;
// rows are always stepped by rowBytes.
#pragma once

#include "render/pixelBuffers.h"

#include <algorithm>
#include <cmath>
#include <limits>

struct PixelAccessRec {
    GWorldPtr world = nullptr;
    Ptr base = nullptr;
    SInt32 rowBytes = 0;
    SInt32 width = 0; // 0 when the buffer has no usable pixels
    SInt32 height = 0;
    Rect bounds{}; // the port's bounds, as the buffer's owner set them
    UInt32 savedState = 0;

    explicit PixelAccessRec(GWorldPtr theGW) : world(theGW) {
        if (!world) return;
        GetPixInfoFromGWorld(world, base, rowBytes, bounds, savedState);
        rowBytes &= 0x3FFF;
        width = SInt32(bounds.right) - bounds.left;
        height = SInt32(bounds.bottom) - bounds.top;
        // A buffer whose rows cannot hold its width is not walked at all.
        if (!base || width <= 0 || height <= 0 || rowBytes < 4 * width) width = height = 0;
    }
    ~PixelAccessRec() {
        if (world) SetPixelsState(GetGWorldPixMap(world), savedState);
    }
    PixelAccessRec(const PixelAccessRec&) = delete;
    PixelAccessRec& operator=(const PixelAccessRec&) = delete;

    bool Usable() const { return width > 0; }
    bool Contains(SInt32 x, SInt32 y) const { return x >= 0 && x < width && y >= 0 && y < height; }
    bool SameSize(const PixelAccessRec& other) const {
        return Usable() && width == other.width && height == other.height;
    }
    PixRec* Row(SInt32 y) const { return reinterpret_cast<PixRec*>(base + y * rowBytes); }
    PixRec* At(SInt32 x, SInt32 y) const { return Row(y) + x; }
};

// A half-open area of a buffer in 32-bit coordinates; empty when left >= right or top >= bottom.
struct PixelAreaRec {
    SInt32 top, left, bottom, right;
    bool Empty() const { return left >= right || top >= bottom; }
};

// theRect clipped to a buffer of the given size.
inline PixelAreaRec ClipToBuffer(const Rect& theRect, SInt32 width, SInt32 height) {
    PixelAreaRec area{std::max<SInt32>(theRect.top, 0), std::max<SInt32>(theRect.left, 0),
                      std::min<SInt32>(theRect.bottom, height), std::min<SInt32>(theRect.right, width)};
    return area;
}

// Truncation toward zero of a double that may lie outside the target's range or be NaN:
// values beyond the range saturate and NaN gives the most negative value, so a coordinate
// made from it lands outside every buffer instead of being undefined.
template <typename IntType>
inline IntType TruncSaturated(double value) {
    constexpr double lo = double(std::numeric_limits<IntType>::min());
    constexpr double hi = double(std::numeric_limits<IntType>::max());
    if (std::isnan(value)) return std::numeric_limits<IntType>::min();
    if (value <= lo) return std::numeric_limits<IntType>::min();
    if (value >= hi) return std::numeric_limits<IntType>::max();
    return IntType(value);
}

// Walks area of one to three buffers of equal size with running row and pixel pointers,
// row by row from the top, left to right; each buffer steps by its own rowBytes.
template <typename Kernel>
void WalkArea2(const PixelAccessRec& a, const PixelAccessRec& b, const PixelAreaRec& area, Kernel kernel) {
    if (area.Empty()) return;
    Ptr rowA = a.base + area.top * a.rowBytes + 4 * area.left;
    Ptr rowB = b.base + area.top * b.rowBytes + 4 * area.left;
    const SInt32 count = area.right - area.left;
    for (SInt32 y = area.top; y < area.bottom; ++y, rowA += a.rowBytes, rowB += b.rowBytes) {
        PixRec* pa = reinterpret_cast<PixRec*>(rowA);
        PixRec* pb = reinterpret_cast<PixRec*>(rowB);
        for (SInt32 i = 0; i < count; ++i, ++pa, ++pb)
            kernel(pa, pb);
    }
}

template <typename Kernel>
void WalkArea3(const PixelAccessRec& a, const PixelAccessRec& b, const PixelAccessRec& c,
               const PixelAreaRec& area, Kernel kernel) {
    if (area.Empty()) return;
    Ptr rowA = a.base + area.top * a.rowBytes + 4 * area.left;
    Ptr rowB = b.base + area.top * b.rowBytes + 4 * area.left;
    Ptr rowC = c.base + area.top * c.rowBytes + 4 * area.left;
    const SInt32 count = area.right - area.left;
    for (SInt32 y = area.top; y < area.bottom;
         ++y, rowA += a.rowBytes, rowB += b.rowBytes, rowC += c.rowBytes) {
        PixRec* pa = reinterpret_cast<PixRec*>(rowA);
        PixRec* pb = reinterpret_cast<PixRec*>(rowB);
        PixRec* pc = reinterpret_cast<PixRec*>(rowC);
        for (SInt32 i = 0; i < count; ++i, ++pa, ++pb, ++pc)
            kernel(pa, pb, pc);
    }
}

template <typename Kernel>
void WalkArea1(const PixelAccessRec& a, const PixelAreaRec& area, Kernel kernel) {
    if (area.Empty()) return;
    Ptr rowA = a.base + area.top * a.rowBytes + 4 * area.left;
    const SInt32 count = area.right - area.left;
    for (SInt32 y = area.top; y < area.bottom; ++y, rowA += a.rowBytes) {
        PixRec* pa = reinterpret_cast<PixRec*>(rowA);
        for (SInt32 i = 0; i < count; ++i, ++pa)
            kernel(pa);
    }
}

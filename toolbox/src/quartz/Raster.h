// The pixel work of the Quartz contexts: rectangles mapped through an affine transformation
// onto 32-bit premultiplied alpha-red-green-blue pixels, with device space's origin at the
// bottom left of the pixels and y upwards.
#pragma once

#include "toolbox/Quartz.h"

namespace toolbox::cg {

// User space to device space: x' = a x + c y + tx, y' = b x + d y + ty.
struct Affine {
    double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;
    Affine Then(const Affine& inner) const; // this transformation applied after inner
    static Affine Translation(double x, double y);
    static Affine Rotation(double angle);
};

// The pixels a context draws into, and the part of them it may touch: columns
// clipLeft..clipRight - 1 and memory rows clipTop..clipBottom - 1 (row 0 at the top).
struct Surface {
    UInt8* base = nullptr; // NULL: the context no longer draws
    long rowBytes = 0;
    int width = 0, height = 0;
    int clipLeft = 0, clipTop = 0, clipRight = 0, clipBottom = 0;
};

// Colour components 0..1, premultiplied by alpha.
struct Premultiplied {
    float r, g, b, a;
};

void ClearRect(const Surface& surface, const Affine& ctm, CGRect rect);
void FillRect(const Surface& surface, const Affine& ctm, CGRect rect, Premultiplied colour);
void DrawImage(const Surface& surface, const Affine& ctm, CGRect rect, CGImageRef image, float alpha);

} // namespace toolbox::cg

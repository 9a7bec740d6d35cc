// Rectangle and point arithmetic on 16-bit coordinates, as the platform computes it.
#include "toolbox/QuickDraw.h"

#include <algorithm>

extern "C" {

void SetRect(Rect* r, short left, short top, short right, short bottom) {
    *r = Rect{top, left, bottom, right};
}

void OffsetRect(Rect* r, short dh, short dv) {
    r->left = SInt16(r->left + dh);
    r->right = SInt16(r->right + dh);
    r->top = SInt16(r->top + dv);
    r->bottom = SInt16(r->bottom + dv);
}

void InsetRect(Rect* r, short dh, short dv) {
    r->left = SInt16(r->left + dh);
    r->right = SInt16(r->right - dh);
    r->top = SInt16(r->top + dv);
    r->bottom = SInt16(r->bottom - dv);
    if (EmptyRect(r)) *r = Rect{0, 0, 0, 0};
}

Boolean EmptyRect(const Rect* r) {
    return r->bottom <= r->top || r->right <= r->left;
}

Boolean SectRect(const Rect* src1, const Rect* src2, Rect* dstRect) {
    Rect out{std::max(src1->top, src2->top), std::max(src1->left, src2->left),
             std::min(src1->bottom, src2->bottom), std::min(src1->right, src2->right)};
    if (EmptyRect(&out)) out = Rect{0, 0, 0, 0};
    *dstRect = out;
    return !EmptyRect(&out);
}

Boolean PtInRect(Point pt, const Rect* r) {
    return pt.v >= r->top && pt.v < r->bottom && pt.h >= r->left && pt.h < r->right;
}

} // extern "C"

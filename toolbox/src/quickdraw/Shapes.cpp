// The pen, framed ovals and rectangle regions. Ovals are drawn row by row: each row of the
// oval inscribed in a rectangle is one span, and a framed oval is the span of the outer oval
// less the span of the oval one pixel inside it. Spans are clipped to the port before use.
#include "Ports.h"

#include "../ToolboxState.h"
#include "toolbox/MacMemory.h"

#include <algorithm>
#include <cmath>

namespace {

using toolbox::gToolbox;
using toolbox::qd::kRowBytesMask;

struct Span {
    int left, right; // [left, right); empty when right <= left
};

// The span of row v of the oval inscribed in r, sampled at the row's centre.
Span OvalSpan(const Rect& r, int v) {
    double w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0 || v < r.top || v >= r.bottom) return {0, 0};
    double cy = (r.top + r.bottom) / 2.0, cx = (r.left + r.right) / 2.0;
    double dy = (v + 0.5 - cy) / (h / 2.0);
    double dx = (w / 2.0) * std::sqrt(std::max(0.0, 1.0 - dy * dy));
    return {int(std::lround(cx - dx)), int(std::lround(cx + dx))};
}

enum class Ink { Fore, Back, Invert };

// What a solid pen does in the port's mode.
Ink PenInk(const GrafPort* port) {
    switch (port->penMode) {
        case srcXor:
        case patXor:
            return Ink::Invert;
        case srcBic:
        case patBic:
            return Ink::Back;
        default:
            return Ink::Fore;
    }
}

// Applies ink to [left, right) of row v in the current port, clipped.
void InkSpan(GrafPort* port, int v, int left, int right, Ink ink) {
    const Rect& pr = port->portRect;
    const Rect& cr = port->clipRect;
    if (v < std::max(pr.top, cr.top) || v >= std::min(pr.bottom, cr.bottom)) return;
    left = std::max({left, int(pr.left), int(cr.left)});
    right = std::min({right, int(pr.right), int(cr.right)});
    if (right <= left) return;
    auto* base = reinterpret_cast<UInt8*>(port->pixMap.baseAddr);
    long rowBytes = long(port->pixMap.rowBytes) & kRowBytesMask;
    UInt8* p = base + long(v - pr.top) * rowBytes + long(left - pr.left) * 4;
    if (ink == Ink::Invert) {
        for (int h = left; h < right; ++h, p += 4) {
            p[1] = UInt8(~p[1]);
            p[2] = UInt8(~p[2]);
            p[3] = UInt8(~p[3]);
        }
        return;
    }
    UInt32 value = toolbox::qd::OpaquePixel(ink == Ink::Fore ? port->fgColor : port->bgColor);
    auto* row = reinterpret_cast<UInt32*>(p);
    std::fill(row, row + (right - left), value);
}

} // namespace

namespace toolbox::qd {

void PenRect(const Rect& r, bool frame) {
    GrafPort* port = gToolbox.currentPort;
    if (!port || EmptyRect(&r)) return;
    Ink ink = PenInk(port);
    // A frame two pixels wide or high is the whole rectangle.
    bool solid = !frame || r.right - r.left <= 2 || r.bottom - r.top <= 2;
    for (int v = r.top; v < r.bottom; ++v) {
        if (solid || v == r.top || v == r.bottom - 1) {
            InkSpan(port, v, r.left, r.right, ink);
        } else {
            InkSpan(port, v, r.left, r.left + 1, ink);
            InkSpan(port, v, r.right - 1, r.right, ink);
        }
    }
}

} // namespace toolbox::qd

extern "C" {

void PenMode(short mode) {
    if (GrafPort* port = gToolbox.currentPort) port->penMode = mode;
}

void PenNormal(void) {
    if (GrafPort* port = gToolbox.currentPort) port->penMode = patCopy;
}

void MoveTo(short h, short v) {
    if (GrafPort* port = gToolbox.currentPort) port->penLoc = Point{v, h};
}

void GetPen(Point* pt) {
    if (pt) *pt = gToolbox.currentPort ? gToolbox.currentPort->penLoc : Point{0, 0};
}

void FrameOval(const Rect* r) {
    GrafPort* port = gToolbox.currentPort;
    if (!port || !r || EmptyRect(r)) return;
    const Rect inner{SInt16(r->top + 1), SInt16(r->left + 1), SInt16(r->bottom - 1), SInt16(r->right - 1)};
    Ink ink = PenInk(port);
    for (int v = r->top; v < r->bottom; ++v) {
        Span outer = OvalSpan(*r, v), hole = OvalSpan(inner, v);
        if (hole.right <= hole.left) {
            InkSpan(port, v, outer.left, outer.right, ink);
        } else {
            InkSpan(port, v, outer.left, hole.left, ink);
            InkSpan(port, v, hole.right, outer.right, ink);
        }
    }
}

RgnHandle NewRgn(void) {
    Handle h = NewHandleClear(sizeof(MacRegion));
    if (h) reinterpret_cast<MacRegion*>(*h)->rgnSize = sizeof(MacRegion);
    return reinterpret_cast<RgnHandle>(h);
}

void RectRgn(RgnHandle rgn, const Rect* r) {
    if (rgn && *rgn && r) (*rgn)->rgnBBox = *r;
}

void DisposeRgn(RgnHandle rgn) {
    DisposeHandle(reinterpret_cast<Handle>(rgn));
}

} // extern "C"

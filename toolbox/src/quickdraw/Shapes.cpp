// The pen, ovals and rectangle regions. Ovals are drawn row by row: each row of the oval
// inscribed in a rectangle is one span, and a framed oval is the span of the outer oval less
// the span of the oval inset by the pen size. Spans are clipped to the port before use.
#include "Ports.h"

#include "../ToolboxState.h"
#include "toolbox/MacMemory.h"

#include <algorithm>
#include <cmath>
#include <cstring>

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

UInt32 Opaque(const RGBColor& c) {
    const UInt8 bytes[4] = {0xFF, UInt8(c.red >> 8), UInt8(c.green >> 8), UInt8(c.blue >> 8)};
    UInt32 value;
    std::memcpy(&value, bytes, 4);
    return value;
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
    UInt32 value = Opaque(ink == Ink::Fore ? port->fgColor : port->bgColor);
    auto* row = reinterpret_cast<UInt32*>(p);
    std::fill(row, row + (right - left), value);
}

void FillOval(const Rect* r, Ink ink) {
    GrafPort* port = gToolbox.currentPort;
    if (!port || !r) return;
    for (int v = r->top; v < r->bottom; ++v) {
        Span s = OvalSpan(*r, v);
        InkSpan(port, v, s.left, s.right, ink);
    }
}

} // namespace

namespace toolbox::qd {

void PenRect(const Rect& r, bool frame) {
    GrafPort* port = gToolbox.currentPort;
    if (!port || EmptyRect(&r)) return;
    Ink ink = PenInk(port);
    int penH = port->penSize.h, penV = port->penSize.v;
    if (frame && (penH <= 0 || penV <= 0)) return;
    // A frame as wide as the rectangle is the whole rectangle.
    bool solid = !frame || 2 * penH >= r.right - r.left || 2 * penV >= r.bottom - r.top;
    for (int v = r.top; v < r.bottom; ++v) {
        if (solid || v < r.top + penV || v >= r.bottom - penV) {
            InkSpan(port, v, r.left, r.right, ink);
        } else {
            InkSpan(port, v, r.left, r.left + penH, ink);
            InkSpan(port, v, r.right - penH, r.right, ink);
        }
    }
}

} // namespace toolbox::qd

extern "C" {

void PenSize(short width, short height) {
    if (GrafPort* port = gToolbox.currentPort)
        port->penSize = Point{std::max<SInt16>(0, height), std::max<SInt16>(0, width)};
}

void PenMode(short mode) {
    if (GrafPort* port = gToolbox.currentPort) port->penMode = mode;
}

void PenNormal(void) {
    if (GrafPort* port = gToolbox.currentPort) {
        port->penSize = Point{1, 1};
        port->penMode = patCopy;
    }
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
    Rect inner = *r;
    inner.left = SInt16(inner.left + port->penSize.h);
    inner.right = SInt16(inner.right - port->penSize.h);
    inner.top = SInt16(inner.top + port->penSize.v);
    inner.bottom = SInt16(inner.bottom - port->penSize.v);
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

void PaintOval(const Rect* r) {
    if (gToolbox.currentPort) FillOval(r, PenInk(gToolbox.currentPort));
}

void EraseOval(const Rect* r) {
    FillOval(r, Ink::Back);
}

void InvertOval(const Rect* r) {
    FillOval(r, Ink::Invert);
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

// Bitmap contexts, the bridge from QuickDraw ports, colours and the graphics state. The
// pixel work is in Raster.cpp; a context only keeps where its pixels are and its state.
#include "Raster.h"

#include "../quickdraw/Ports.h"
#include "toolbox/MacWindows.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

using toolbox::cg::Affine;

struct CGColor {
    CGFloat components[4];
};

namespace {

struct GState {
    Affine ctm;
    float alpha = 1.0f;
    CGBlendMode blendMode = kCGBlendModeNormal;
    toolbox::cg::Premultiplied fill{0, 0, 0, 1};
};

float Unit(CGFloat v) {
    return std::isfinite(v) ? std::clamp(float(v), 0.0f, 1.0f) : 0.0f;
}

} // namespace

struct CGContext {
    toolbox::cg::Surface surface;
    std::vector<UInt8> ownPixels; // when the creator passed no memory
    GrafPtr port = nullptr;       // the port of a context from QDBeginCGContext
    GState state;
    std::vector<GState> saved;
};

extern "C" {

CGColorRef CGColorCreate(CGColorSpaceRef space, const CGFloat components[]) {
    if (!space || !components) return nullptr;
    auto* color = new CGColor;
    for (int i = 0; i < 4; ++i)
        color->components[i] = Unit(components[i]);
    return color;
}

void CGColorRelease(CGColorRef color) {
    delete color;
}

CGContextRef CGBitmapContextCreate(void* data, size_t width, size_t height, size_t bitsPerComponent,
                                   size_t bytesPerRow, CGColorSpaceRef space, CGBitmapInfo bitmapInfo) {
    const CGBitmapInfo order = bitmapInfo & ~CGBitmapInfo(kCGBitmapAlphaInfoMask);
    if (!space || bitsPerComponent != 8 || width == 0 || height == 0 || width > 1u << 15 ||
        height > 1u << 15 || bytesPerRow < 4 * width || bytesPerRow > 1u << 20 ||
        (bitmapInfo & kCGBitmapAlphaInfoMask) != kCGImageAlphaPremultipliedFirst ||
        (order != kCGBitmapByteOrderDefault && order != kCGBitmapByteOrder32Big))
        return nullptr;
    auto* context = new CGContext;
    if (!data) {
        context->ownPixels.assign(bytesPerRow * height, 0);
        data = context->ownPixels.data();
    }
    const int w = int(width), h = int(height);
    context->surface = {static_cast<UInt8*>(data), long(bytesPerRow), w, h, 0, 0, w, h};
    return context;
}

CGImageRef CGBitmapContextCreateImage(CGContextRef context) {
    if (!context || context->port) return nullptr;
    const auto& sf = context->surface;
    CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
    CGDataProviderRef provider = CGDataProviderCreateWithData(
        nullptr, sf.base, size_t(sf.rowBytes) * size_t(sf.height - 1) + 4 * size_t(sf.width), nullptr);
    CGImageRef image =
        CGImageCreate(size_t(sf.width), size_t(sf.height), 8, 32, size_t(sf.rowBytes), space,
                      kCGImageAlphaPremultipliedFirst, provider, nullptr, false, kCGRenderingIntentDefault);
    CGDataProviderRelease(provider);
    CGColorSpaceRelease(space);
    return image;
}

void CGContextRelease(CGContextRef context) {
    delete context;
}

void CGContextSaveGState(CGContextRef context) {
    if (context) context->saved.push_back(context->state);
}

void CGContextRestoreGState(CGContextRef context) {
    if (!context || context->saved.empty()) return;
    context->state = context->saved.back();
    context->saved.pop_back();
}

void CGContextTranslateCTM(CGContextRef context, CGFloat tx, CGFloat ty) {
    if (context) context->state.ctm = context->state.ctm.Then(Affine::Translation(tx, ty));
}

void CGContextRotateCTM(CGContextRef context, CGFloat angle) {
    if (context) context->state.ctm = context->state.ctm.Then(Affine::Rotation(angle));
}

void CGContextSetAlpha(CGContextRef context, CGFloat alpha) {
    if (context) context->state.alpha = Unit(alpha);
}

void CGContextSetBlendMode(CGContextRef context, CGBlendMode mode) {
    if (context) context->state.blendMode = mode;
}

void CGContextSetRGBFillColor(CGContextRef context, CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha) {
    if (!context) return;
    const float a = Unit(alpha);
    context->state.fill = {Unit(red) * a, Unit(green) * a, Unit(blue) * a, a};
}

void CGContextClearRect(CGContextRef context, CGRect rect) {
    if (context) toolbox::cg::ClearRect(context->surface, context->state.ctm, rect);
}

void CGContextFillRect(CGContextRef context, CGRect rect) {
    if (!context) return;
    auto c = context->state.fill;
    const float k = context->state.alpha;
    toolbox::cg::FillRect(context->surface, context->state.ctm, rect, {c.r * k, c.g * k, c.b * k, c.a * k});
}

void CGContextDrawImage(CGContextRef context, CGRect rect, CGImageRef image) {
    if (context && image)
        toolbox::cg::DrawImage(context->surface, context->state.ctm, rect, image, context->state.alpha);
}

void CGContextFlush(CGContextRef context) {
    if (context && context->port) QDFlushPortBuffer(context->port, nullptr);
}

OSStatus QDBeginCGContext(CGrafPtr port, CGContextRef* contextPtr) {
    if (!contextPtr) return paramErr;
    *contextPtr = nullptr;
    if (!toolbox::qd::IsPort(port)) return paramErr;
    const Rect& bounds = port->portRect;
    Rect clip;
    if (!SectRect(&port->clipRect, &bounds, &clip))
        clip = Rect{bounds.top, bounds.left, bounds.top, bounds.left};
    auto* context = new CGContext;
    context->port = port;
    const int w = bounds.right - bounds.left, h = bounds.bottom - bounds.top;
    context->surface = {reinterpret_cast<UInt8*>(port->pixMap.baseAddr),
                        long(port->pixMap.rowBytes) & toolbox::qd::kRowBytesMask,
                        w,
                        h,
                        clip.left - bounds.left,
                        clip.top - bounds.top,
                        clip.right - bounds.left,
                        clip.bottom - bounds.top};
    *contextPtr = context;
    return noErr;
}

OSStatus QDEndCGContext(CGrafPtr port, CGContextRef* contextPtr) {
    if (!contextPtr || !*contextPtr || !port || (*contextPtr)->port != port) return paramErr;
    CGContextRelease(*contextPtr);
    *contextPtr = nullptr;
    return noErr;
}

} // extern "C"

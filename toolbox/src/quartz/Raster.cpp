// Rectangles and images onto pixels. Every routine walks only the pixels that the mapped
// rectangle's bounding box and the surface's clip share, stepping rows by rowBytes. A pixel
// is covered in proportion to how far its centre lies inside each pair of edges, measured
// in device pixels: a rectangle on whole pixels covers them fully or not at all.
#include "Raster.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace toolbox::cg {

Affine Affine::Then(const Affine& in) const {
    return {a * in.a + c * in.b, b * in.a + d * in.b,        a * in.c + c * in.d,
            b * in.c + d * in.d, a * in.tx + c * in.ty + tx, b * in.tx + d * in.ty + ty};
}

Affine Affine::Translation(double x, double y) {
    return {1, 0, 0, 1, x, y};
}

Affine Affine::Rotation(double angle) {
    const double cs = std::cos(angle), sn = std::sin(angle);
    return {cs, sn, -sn, cs, 0, 0};
}

namespace {

// Coverage along one axis for a pixel whose centre lies at s (0..1 across the rectangle),
// gradient g (change of s for one device pixel).
double Cover(double s, double g) {
    const double lo = std::clamp(s / g + 0.5, 0.0, 1.0);
    const double hi = std::clamp((1.0 - s) / g + 0.5, 0.0, 1.0);
    return std::max(0.0, lo + hi - 1.0);
}

UInt8 ToByte(float v) {
    return UInt8(std::clamp(v + 0.5f, 0.0f, 255.0f));
}

// Source over destination: both premultiplied, source in 0..255 units.
void Over(UInt8* px, float a, float r, float g, float b) {
    const float keep = 1.0f - a / 255.0f;
    px[0] = ToByte(a + px[0] * keep);
    px[1] = ToByte(r + px[1] * keep);
    px[2] = ToByte(g + px[2] * keep);
    px[3] = ToByte(b + px[3] * keep);
}

// Calls visit(pixel, s, t, coverage) for every pixel of the surface that the rectangle
// covers; s runs 0..1 from the rectangle's left edge to its right, t from bottom to top.
template <typename Visit>
void WalkRect(const Surface& sf, const Affine& m, CGRect rect, Visit&& visit) {
    double x = rect.origin.x, y = rect.origin.y, w = rect.size.width, h = rect.size.height;
    if (!sf.base || !(std::isfinite(x) && std::isfinite(y) && std::isfinite(w) && std::isfinite(h))) return;
    if (w < 0) x += w, w = -w;
    if (h < 0) y += h, h = -h;
    const double det = m.a * m.d - m.b * m.c;
    if (w == 0 || h == 0 || !std::isfinite(det) || std::fabs(det) < 1e-12) return;

    double minX = INFINITY, maxX = -INFINITY, minY = INFINITY, maxY = -INFINITY;
    for (double cx : {x, x + w})
        for (double cy : {y, y + h}) {
            const double dx = m.a * cx + m.c * cy + m.tx, dy = m.b * cx + m.d * cy + m.ty;
            minX = std::min(minX, dx), maxX = std::max(maxX, dx);
            minY = std::min(minY, dy), maxY = std::max(maxY, dy);
        }
    const double colLo = std::max<double>(sf.clipLeft, std::floor(minX));
    const double colHi = std::min<double>(sf.clipRight, std::ceil(maxX));
    const double rowLo = std::max<double>(sf.clipTop, sf.height - std::ceil(maxY));
    const double rowHi = std::min<double>(sf.clipBottom, sf.height - std::floor(minY));
    if (colLo >= colHi || rowLo >= rowHi) return;

    // Device to user space, then to the rectangle's s and t.
    const double ia = m.d / det, ib = -m.b / det, ic = -m.c / det, id = m.a / det;
    const double itx = -(ia * m.tx + ic * m.ty), ity = -(ib * m.tx + id * m.ty);
    const double gs = std::hypot(ia, ic) / w, gt = std::hypot(ib, id) / h;
    for (int row = int(rowLo); row < int(rowHi); ++row) {
        UInt8* line = sf.base + long(row) * sf.rowBytes;
        const double dy = sf.height - row - 0.5;
        for (int col = int(colLo); col < int(colHi); ++col) {
            const double dx = col + 0.5;
            const double s = (ia * dx + ic * dy + itx - x) / w;
            const double t = (ib * dx + id * dy + ity - y) / h;
            double cov = Cover(s, gs) * Cover(t, gt);
            if (cov < 1e-6) continue;
            if (cov > 1.0 - 1e-6) cov = 1.0;
            visit(line + 4 * col, s, t, float(cov));
        }
    }
}

// The image's pixels as premultiplied alpha, red, green, blue bytes, 4 x width a row.
std::vector<UInt8> PremultipliedPixels(CGImageRef image) {
    const size_t w = CGImageGetWidth(image), h = CGImageGetHeight(image),
                 pitch = CGImageGetBytesPerRow(image);
    const UInt32 alphaInfo = CGImageGetBitmapInfo(image) & kCGBitmapAlphaInfoMask;
    const bool last = alphaInfo == kCGImageAlphaPremultipliedLast || alphaInfo == kCGImageAlphaLast ||
                      alphaInfo == kCGImageAlphaNoneSkipLast;
    const bool opaque = alphaInfo == kCGImageAlphaNone || alphaInfo == kCGImageAlphaNoneSkipFirst ||
                        alphaInfo == kCGImageAlphaNoneSkipLast;
    const bool straight = alphaInfo == kCGImageAlphaFirst || alphaInfo == kCGImageAlphaLast;
    const UInt8* src = toolbox::CGImagePixels(image);
    std::vector<UInt8> out(4 * w * h);
    for (size_t yy = 0; yy < h; ++yy)
        for (size_t xx = 0; xx < w; ++xx) {
            const UInt8* p = src + yy * pitch + 4 * xx;
            UInt8* q = &out[4 * (yy * w + xx)];
            UInt8 argb[4] = {p[0], p[1], p[2], p[3]};
            if (last) argb[0] = p[3], argb[1] = p[0], argb[2] = p[1], argb[3] = p[2];
            if (opaque) argb[0] = 255;
            if (straight)
                for (int i = 1; i < 4; ++i)
                    argb[i] = UInt8((argb[i] * argb[0] + 127) / 255);
            std::copy(argb, argb + 4, q);
        }
    return out;
}

} // namespace

void ClearRect(const Surface& sf, const Affine& m, CGRect rect) {
    WalkRect(sf, m, rect, [](UInt8* px, double, double, float cov) {
        for (int i = 0; i < 4; ++i)
            px[i] = ToByte(px[i] * (1.0f - cov));
    });
}

void FillRect(const Surface& sf, const Affine& m, CGRect rect, Premultiplied c) {
    WalkRect(sf, m, rect, [&c](UInt8* px, double, double, float cov) {
        const float k = 255.0f * cov;
        Over(px, c.a * k, c.r * k, c.g * k, c.b * k);
    });
}

void DrawImage(const Surface& sf, const Affine& m, CGRect rect, CGImageRef image, float alpha) {
    const size_t iw = CGImageGetWidth(image), ih = CGImageGetHeight(image);
    if (!sf.base || iw == 0 || ih == 0 || alpha <= 0.0f) return;
    const std::vector<UInt8> pixels = PremultipliedPixels(image);
    const double maxU = double(iw - 1), maxV = double(ih - 1);
    WalkRect(sf, m, rect, [&](UInt8* px, double s, double t, float cov) {
        // Bilinear between the four nearest pixel centres, held inside the image.
        const double u = std::clamp(s * double(iw) - 0.5, 0.0, maxU);
        const double v = std::clamp((1.0 - t) * double(ih) - 0.5, 0.0, maxV);
        const size_t u0 = size_t(u), v0 = size_t(v);
        const size_t u1 = std::min(u0 + 1, iw - 1), v1 = std::min(v0 + 1, ih - 1);
        const float fu = float(u - double(u0)), fv = float(v - double(v0));
        const UInt8* p00 = &pixels[4 * (v0 * iw + u0)];
        const UInt8* p01 = &pixels[4 * (v0 * iw + u1)];
        const UInt8* p10 = &pixels[4 * (v1 * iw + u0)];
        const UInt8* p11 = &pixels[4 * (v1 * iw + u1)];
        float ch[4];
        for (int i = 0; i < 4; ++i) {
            const float top = p00[i] + (p01[i] - p00[i]) * fu;
            const float bottom = p10[i] + (p11[i] - p10[i]) * fu;
            ch[i] = (top + (bottom - top) * fv) * alpha * cov;
        }
        Over(px, ch[0], ch[1], ch[2], ch[3]);
    });
}

} // namespace toolbox::cg

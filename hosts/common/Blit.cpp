#include "common/Blit.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace hosts {

namespace {

// Maps destination column or row d of [dFirst, dFirst + dLen) onto the source span.
int SourceOf(int d, int dFirst, int dLen, int sFirst, int sLen) {
    return sFirst + int(int64_t(d - dFirst) * sLen / dLen);
}

void MixRow(std::uint8_t* dst, const std::uint8_t* src, int count, int opacity) {
    if (opacity == 255) {
        std::memcpy(dst, src, size_t(count) * 4);
        return;
    }
    int keep = 255 - opacity;
    for (int i = 0; i < count * 4; ++i)
        dst[i] = std::uint8_t((src[i] * opacity + dst[i] * keep + 127) / 255);
}

} // namespace

HYPluginResult BlitPixMaps(PixMapHandle src, PixMapHandle dst, const Rect* srcRect, const Rect* dstRect,
                           SInt16 opacity) {
    if (!src || !*src || !dst || !*dst || !srcRect || !dstRect) return kPluginBadParams;
    const PixMap& s = **src;
    const PixMap& d = **dst;
    if (!s.baseAddr || !d.baseAddr) return kPluginBadParams;
    int alpha = std::clamp(int(opacity), 0, 255);
    int sw = srcRect->right - srcRect->left, sh = srcRect->bottom - srcRect->top;
    int dw = dstRect->right - dstRect->left, dh = dstRect->bottom - dstRect->top;
    if (alpha == 0 || sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0) return kPluginOK;

    long sRowBytes = s.rowBytes & 0x3FFF, dRowBytes = d.rowBytes & 0x3FFF;
    int x0 = std::max<int>(dstRect->left, d.bounds.left), x1 = std::min<int>(dstRect->right, d.bounds.right);
    int y0 = std::max<int>(dstRect->top, d.bounds.top), y1 = std::min<int>(dstRect->bottom, d.bounds.bottom);
    if (x0 >= x1 || y0 >= y1) return kPluginOK;

    // Source column of every destination column, -1 where it falls outside the source.
    std::vector<int> column(size_t(x1 - x0));
    for (int x = x0; x < x1; ++x) {
        int sx = SourceOf(x, dstRect->left, dw, srcRect->left, sw);
        column[size_t(x - x0)] = (sx >= s.bounds.left && sx < s.bounds.right) ? sx - s.bounds.left : -1;
    }
    bool plainRow = sw == dw && column.front() >= 0 && column.back() >= 0;

    // Whole rows go through a copy, so that source and destination may share memory.
    std::vector<std::uint8_t> row(size_t(x1 - x0) * 4);
    std::vector<std::uint8_t> under(row.size());
    for (int y = y0; y < y1; ++y) {
        int sy = SourceOf(y, dstRect->top, dh, srcRect->top, sh);
        if (sy < s.bounds.top || sy >= s.bounds.bottom) continue;
        const std::uint8_t* sRow =
            reinterpret_cast<const std::uint8_t*>(s.baseAddr) + (sy - s.bounds.top) * sRowBytes;
        std::uint8_t* dRow = reinterpret_cast<std::uint8_t*>(d.baseAddr) + (y - d.bounds.top) * dRowBytes +
                             4 * (x0 - d.bounds.left);
        if (plainRow) {
            std::memcpy(row.data(), sRow + 4 * column.front(), row.size());
            MixRow(dRow, row.data(), x1 - x0, alpha);
            continue;
        }
        std::memcpy(under.data(), dRow, under.size());
        for (size_t i = 0; i < column.size(); ++i)
            std::memcpy(&row[4 * i], column[i] >= 0 ? sRow + 4 * column[i] : &under[4 * i], 4);
        MixRow(dRow, row.data(), x1 - x0, alpha);
    }
    return kPluginOK;
}

} // namespace hosts

#include "common/Blit.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace hosts {

namespace {

// Maps destination column or row d of [dFirst, dFirst + dLen) onto the source span.
int SourceOf(int d, int dFirst, int dLen, int sFirst, int sLen) {
    return sFirst + int(int64_t(d - dFirst) * sLen / dLen);
}

// dst = (src * opacity + dst * (255 - opacity) + 127) / 255, byte by byte.
void MixRow(std::uint8_t* dst, const std::uint8_t* src, int count, int opacity) {
    if (opacity == 255) {
        std::memcpy(dst, src, size_t(count) * 4);
        return;
    }
    const int keep = 255 - opacity;
    const size_t n = size_t(count) * 4;
    size_t i = 0;
#if defined(__SSE2__)
    // Sixteen bytes at a time in 16-bit lanes; the sum is at most 255 * 255 + 127, and
    // x / 255 == (x + 1 + (x >> 8)) >> 8 for every such x.
    const __m128i a = _mm_set1_epi16(short(opacity)), k = _mm_set1_epi16(short(keep));
    const __m128i half = _mm_set1_epi16(127), one = _mm_set1_epi16(1), zero = _mm_setzero_si128();
    auto mix = [&](__m128i s, __m128i d) {
        __m128i x = _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(s, a), _mm_mullo_epi16(d, k)), half);
        return _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(x, one), _mm_srli_epi16(x, 8)), 8);
    };
    for (; i + 16 <= n; i += 16) {
        __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + i));
        __m128i lo = mix(_mm_unpacklo_epi8(s, zero), _mm_unpacklo_epi8(d, zero));
        __m128i hi = mix(_mm_unpackhi_epi8(s, zero), _mm_unpackhi_epi8(d, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_packus_epi16(lo, hi));
    }
#endif
    for (; i < n; ++i)
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

// Byte-order conversion at the frei0r boundary: frei0r hands out RGBA8888 frames (bytes R, G,
// B, A in memory), the plug-in works on 32-bit pixels whose bytes are A, R, G, B. Converting
// is a rotation of each little-endian 32-bit word by one byte, done 16 or 4 pixels at a time
// with AVX2 or SSE2 shifts (a frame is converted twice, so this runs at memory speed). Source
// and destination may be the same buffer.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <immintrin.h>

namespace frei0r {

namespace detail {

static_assert(std::endian::native == std::endian::little);

// Every pixel rotated left by kLeft bits.
template <int kLeft>
inline void RotateSSE2(const uint32_t* src, uint32_t* dst, size_t count) {
    size_t i = 0;
    for (; i + 4 <= count; i += 4) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        v = _mm_or_si128(_mm_slli_epi32(v, kLeft), _mm_srli_epi32(v, 32 - kLeft));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), v);
    }
    for (; i < count; ++i)
        dst[i] = std::rotl(src[i], kLeft);
}

template <int kLeft>
__attribute__((target("avx2"))) inline void RotateAVX2(const uint32_t* src, uint32_t* dst, size_t count) {
    size_t i = 0;
    for (; i + 16 <= count; i += 16) {
        const auto* in = reinterpret_cast<const __m256i*>(src + i);
        auto* out = reinterpret_cast<__m256i*>(dst + i);
        __m256i a = _mm256_loadu_si256(in), b = _mm256_loadu_si256(in + 1);
        a = _mm256_or_si256(_mm256_slli_epi32(a, kLeft), _mm256_srli_epi32(a, 32 - kLeft));
        b = _mm256_or_si256(_mm256_slli_epi32(b, kLeft), _mm256_srli_epi32(b, 32 - kLeft));
        _mm256_storeu_si256(out, a);
        _mm256_storeu_si256(out + 1, b);
    }
    RotateSSE2<kLeft>(src + i, dst + i, count - i);
}

template <int kLeft>
inline void Rotate(const uint32_t* src, uint32_t* dst, size_t count) {
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (avx2)
        RotateAVX2<kLeft>(src, dst, count);
    else
        RotateSSE2<kLeft>(src, dst, count);
}

} // namespace detail

// R G B A -> A R G B, over `count` pixels.
inline void SwizzleRGBA2ARGB(const uint32_t* src, uint32_t* dst, size_t count) {
    detail::Rotate<8>(src, dst, count);
}

// A R G B -> R G B A, over `count` pixels.
inline void SwizzleARGB2RGBA(const uint32_t* src, uint32_t* dst, size_t count) {
    detail::Rotate<24>(src, dst, count);
}

} // namespace frei0r

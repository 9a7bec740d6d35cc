#include "render/pixelKernels.h"

#include <cmath>
#include <cstring>
#include <immintrin.h>

namespace {

constexpr UInt8 kOpaque = 0xFF;

// The four bytes of a pixel (alpha, red, green, blue) as one native word.
UInt32 Word(UInt8 a, UInt8 r, UInt8 g, UInt8 b) {
    const UInt8 bytes[4] = {a, r, g, b};
    UInt32 w;
    std::memcpy(&w, bytes, 4);
    return w;
}

// A table is "kept" (t[c] = c) or "inverted" (t[c] = 255 − c); anything else is neither.
int TableKind(const UInt8* t) {
    bool kept = true, inverted = true;
    for (int c = 0; c < 256; ++c) {
        kept = kept && t[c] == c;
        inverted = inverted && t[c] == 255 - c;
    }
    return kept ? 0 : inverted ? 1 : -1;
}

void TableKernel(const UInt8* src, UInt8* dst, SInt32 count, const EffectSetupRec& s) {
    for (SInt32 i = 0; i < count; ++i, src += 4, dst += 4) {
        UInt32 w = Word(kOpaque, s.red[src[1]], s.green[src[2]], s.blue[src[3]]);
        std::memcpy(dst, &w, 4);
    }
}

void XorKernel(const UInt8* src, UInt8* dst, SInt32 count, const EffectSetupRec& s) {
    const UInt32 opaque = Word(kOpaque, 0, 0, 0);
    SInt32 i = 0;
    const __m128i mask = _mm_set1_epi32(int(s.xorMask)), alpha = _mm_set1_epi32(int(opaque));
    for (; i + 4 <= count; i += 4) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 4 * i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 4 * i),
                         _mm_or_si128(_mm_xor_si128(v, mask), alpha));
    }
    for (; i < count; ++i) {
        UInt32 w;
        std::memcpy(&w, src + 4 * i, 4);
        w = (w ^ s.xorMask) | opaque;
        std::memcpy(dst + 4 * i, &w, 4);
    }
}

__attribute__((target("avx2"))) void XorKernelAVX2(const UInt8* src, UInt8* dst, SInt32 count,
                                                   const EffectSetupRec& s) {
    const __m256i mask = _mm256_set1_epi32(int(s.xorMask)),
                  alpha = _mm256_set1_epi32(int(Word(kOpaque, 0, 0, 0)));
    SInt32 i = 0;
    for (; i + 16 <= count; i += 16) {
        const auto* in = reinterpret_cast<const __m256i*>(src + 4 * i);
        auto* out = reinterpret_cast<__m256i*>(dst + 4 * i);
        __m256i a = _mm256_loadu_si256(in), b = _mm256_loadu_si256(in + 1);
        _mm256_storeu_si256(out, _mm256_or_si256(_mm256_xor_si256(a, mask), alpha));
        _mm256_storeu_si256(out + 1, _mm256_or_si256(_mm256_xor_si256(b, mask), alpha));
    }
    XorKernel(src + 4 * i, dst + 4 * i, count - i, s);
}

// Byte lanes 0, 4, 8, ... hold alpha, 1, 5, ... red, 2, 6, ... green, 3, 7, ... blue.
constexpr __mmask64 kRedLanes = 0x2222222222222222ULL;
constexpr __mmask64 kGreenLanes = 0x4444444444444444ULL;
constexpr __mmask64 kBlueLanes = 0x8888888888888888ULL;

#define UW_TARGET_VBMI __attribute__((target("avx512f,avx512bw,avx512vbmi")))

// A 256-entry byte lookup of every lane: two 128-entry permutes, picked by the index's top bit.
UW_TARGET_VBMI inline __m512i Lookup256(__m512i idx, __mmask64 high, const __m512i* t) {
    return _mm512_mask_blend_epi8(high, _mm512_permutex2var_epi8(t[0], idx, t[1]),
                                  _mm512_permutex2var_epi8(t[2], idx, t[3]));
}

// Sixteen pixels: each colour lane through its channel's table, alpha set.
UW_TARGET_VBMI inline __m512i InvertSixteen(__m512i v, const __m512i* red, const __m512i* green,
                                            const __m512i* blue, __m512i alpha) {
    __mmask64 high = _mm512_movepi8_mask(v);
    __m512i out = _mm512_mask_blend_epi8(kRedLanes, alpha, Lookup256(v, high, red));
    out = _mm512_mask_blend_epi8(kGreenLanes, out, Lookup256(v, high, green));
    return _mm512_mask_blend_epi8(kBlueLanes, out, Lookup256(v, high, blue));
}

UW_TARGET_VBMI void TableKernelVBMI(const UInt8* src, UInt8* dst, SInt32 count, const EffectSetupRec& s) {
    __m512i red[4], green[4], blue[4];
    for (int q = 0; q < 4; ++q) {
        red[q] = _mm512_load_si512(s.red + 64 * q);
        green[q] = _mm512_load_si512(s.green + 64 * q);
        blue[q] = _mm512_load_si512(s.blue + 64 * q);
    }
    const __m512i alpha = _mm512_set1_epi32(int(Word(kOpaque, 0, 0, 0)));
    SInt32 i = 0;
    for (; i + 16 <= count; i += 16)
        _mm512_storeu_si512(dst + 4 * i,
                            InvertSixteen(_mm512_loadu_si512(src + 4 * i), red, green, blue, alpha));
    if (i < count) { // the last few pixels through masked loads and stores
        __mmask64 tail = _cvtu64_mask64((1ULL << (4 * (count - i))) - 1);
        __m512i v = _mm512_maskz_loadu_epi8(tail, src + 4 * i);
        _mm512_mask_storeu_epi8(dst + 4 * i, tail, InvertSixteen(v, red, green, blue, alpha));
    }
}

bool HasAVX2() {
    return __builtin_cpu_supports("avx2");
}
bool HasVBMI() {
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("avx512vbmi");
}

} // namespace

UInt8 InvertChannel(UInt8 c, SInt16 amount) {
    double S = 1.0 - double(amount) / 100.0;
    double I = 1.0 - S;
    double v = std::trunc(double(c) * S + double(255 - c) * I);
    if (v <= 0.0) return 0;
    if (v >= 255.0) return 255;
    return UInt8(v);
}

void PrepareEffect(EffectSetupRec& setup, SInt16 redAmount, SInt16 greenAmount, SInt16 blueAmount) {
    for (int c = 0; c < 256; ++c) {
        setup.red[c] = InvertChannel(UInt8(c), redAmount);
        setup.green[c] = InvertChannel(UInt8(c), greenAmount);
        setup.blue[c] = InvertChannel(UInt8(c), blueAmount);
    }
    int r = TableKind(setup.red), g = TableKind(setup.green), b = TableKind(setup.blue);
    setup.isXor = r >= 0 && g >= 0 && b >= 0;
    setup.xorMask = setup.isXor ? Word(0, r ? 0xFF : 0, g ? 0xFF : 0, b ? 0xFF : 0) : 0;
}

EffectKernelProc ChooseEffectKernel(const EffectSetupRec& setup) {
    if (setup.isXor) return HasAVX2() ? XorKernelAVX2 : XorKernel;
    return HasVBMI() ? TableKernelVBMI : TableKernel;
}

std::vector<NamedKernelRec> AvailableEffectKernels(const EffectSetupRec& setup) {
    std::vector<NamedKernelRec> kernels{{"table", TableKernel}};
    if (HasVBMI()) kernels.push_back({"table-avx512vbmi", TableKernelVBMI});
    if (setup.isXor) {
        kernels.push_back({"xor-sse2", XorKernel});
        if (HasAVX2()) kernels.push_back({"xor-avx2", XorKernelAVX2});
    }
    return kernels;
}

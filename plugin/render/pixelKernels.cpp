#include "render/pixelKernels.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <immintrin.h>
#include <iterator>

namespace {

constexpr UInt8 kOpaque = 0xFF;
constexpr SInt16 kOpaqueOffset = 25500; // the alpha lane's linear form: 25500 / 100 = 255

// The instruction sets kernels are written for, plainest first.
enum InstructionSet { kScalar, kSSE2, kAVX2, kAVX512VBMI, kSetCount };
const char* const kSetNames[kSetCount] = {"scalar", "sse2", "avx2", "avx512vbmi"};

std::atomic<int> lgPinnedSet{kSetCount}; // kSetCount: not pinned

// The four bytes of a pixel (alpha, red, green, blue) as one native word.
UInt32 Word(UInt8 a, UInt8 r, UInt8 g, UInt8 b) {
    const UInt8 bytes[4] = {a, r, g, b};
    UInt32 w;
    std::memcpy(&w, bytes, 4);
    return w;
}

UInt32 Word(const UInt8 (&bytes)[4]) {
    return Word(bytes[0], bytes[1], bytes[2], bytes[3]);
}

// The four 16-bit lanes of a pixel as one native 64-bit word.
long long Lanes(const SInt16 (&lanes)[4]) {
    long long w;
    std::memcpy(&w, lanes, 8);
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

// The linear form of one lane against its table: exact but for values where the table is one
// less, which are listed. False when the amount is outside 0..100 or the lists overflow.
bool PrepareLinearLane(EffectSetupRec& s, int lane, const UInt8* table, SInt16 amount) {
    if (amount < 0 || amount > 100) return false;
    s.slope[lane] = SInt16(100 - 2 * amount);
    s.offset[lane] = SInt16(255 * amount);
    int count = 0;
    for (int c = 0; c < 256; ++c) {
        int linear = (s.offset[lane] + s.slope[lane] * c) / 100;
        if (table[c] == linear) continue;
        if (table[c] != linear - 1 || count == kMaxLinearExceptions) return false;
        s.exceptions[count++][lane] = UInt8(c);
    }
    for (int slot = count; slot < kMaxLinearExceptions; ++slot)
        s.exceptions[slot][lane] = s.exceptions[0][lane];
    s.exceptionLanes[lane] = count ? 0xFF : 0;
    s.exceptionSlots = std::max(s.exceptionSlots, count);
    return true;
}

bool PrepareLinear(EffectSetupRec& s, SInt16 redAmount, SInt16 greenAmount, SInt16 blueAmount) {
    std::memset(s.exceptions, 0, sizeof s.exceptions);
    std::memset(s.hashKeys, 0, sizeof s.hashKeys);
    std::memset(s.hashTable, 0, sizeof s.hashTable);
    s.exceptionSlots = 0;
    s.slope[0] = 0;
    s.offset[0] = kOpaqueOffset;
    s.exceptionLanes[0] = 0;
    return PrepareLinearLane(s, 1, s.red, redAmount) && PrepareLinearLane(s, 2, s.green, greenAmount) &&
           PrepareLinearLane(s, 3, s.blue, blueAmount);
}

// Whether a lane that lists values sends c to this entry of the lookup.
bool ReachesEntry(const EffectSetupRec& s, const UInt8 (&keys)[4], int c, int entry) {
    for (int lane = 1; lane < 4; ++lane)
        if (s.exceptionLanes[lane] && ((c + keys[lane]) & 15) == entry) return true;
    return false;
}

// The lookup for one choice of keys: every listed value in its own entry (a lane's repeats
// share one). Distinct keys keep one lane's values from matching in another; entries left
// empty hold a value that no lane sends there (three lanes rule out at most three).
bool FillHashTable(EffectSetupRec& s, const UInt8 (&keys)[4]) {
    bool used[16] = {};
    for (int lane = 1; lane < 4; ++lane) {
        if (!s.exceptionLanes[lane]) continue;
        for (int other = 1; other < lane; ++other)
            if (s.exceptionLanes[other] && keys[other] == keys[lane]) return false;
        for (int slot = 0; slot < s.exceptionSlots; ++slot) {
            UInt8 c = s.exceptions[slot][lane];
            int entry = (c + keys[lane]) & 15;
            if (used[entry] && s.hashTable[entry] != c) return false;
            used[entry] = true;
            s.hashTable[entry] = c;
        }
    }
    for (int entry = 0; entry < 16; ++entry) {
        if (used[entry]) continue;
        int filler = 0;
        while (ReachesEntry(s, keys, filler, entry))
            ++filler;
        s.hashTable[entry] = UInt8(filler);
    }
    std::memcpy(s.hashKeys, keys, 4);
    return true;
}

bool PrepareHash(EffectSetupRec& s) {
    for (int green = 0; green < 16; ++green)
        for (int blue = 0; blue < 16; ++blue)
            if (FillHashTable(s, {0, 0, UInt8(green), UInt8(blue)})) return true;
    return false;
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

#define UW_TARGET_AVX2 __attribute__((target("avx2")))

UW_TARGET_AVX2 void XorKernelAVX2(const UInt8* src, UInt8* dst, SInt32 count, const EffectSetupRec& s) {
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

// The linear form in vector registers. Bytes widen to 16-bit lanes, where slope × c + offset
// is exact (it stays within 0..25500, so wrapping products of negative slopes come out right);
// the division by 100 is (n × 5243) >> 19, exact below 43699. The listed exceptions are found
// by comparing the source bytes and take one off.
struct LinearSSE2Rec {
    __m128i slope, offset, lanes, exceptions[kMaxLinearExceptions];
};

LinearSSE2Rec LinearSSE2Constants(const EffectSetupRec& s) {
    LinearSSE2Rec k;
    k.slope = _mm_set1_epi64x(Lanes(s.slope));
    k.offset = _mm_set1_epi64x(Lanes(s.offset));
    k.lanes = _mm_set1_epi32(int(Word(s.exceptionLanes)));
    for (int j = 0; j < kMaxLinearExceptions; ++j)
        k.exceptions[j] = _mm_set1_epi32(int(Word(s.exceptions[j])));
    return k;
}

template <int Slots>
inline __m128i LinearFour(__m128i v, const LinearSSE2Rec& k) {
    const __m128i zero = _mm_setzero_si128(), hundredth = _mm_set1_epi16(5243);
    __m128i lo = _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(v, zero), k.slope), k.offset);
    __m128i hi = _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(v, zero), k.slope), k.offset);
    lo = _mm_srli_epi16(_mm_mulhi_epu16(lo, hundredth), 3);
    hi = _mm_srli_epi16(_mm_mulhi_epu16(hi, hundredth), 3);
    __m128i out = _mm_packus_epi16(lo, hi);
    if constexpr (Slots > 0) {
        __m128i hit = _mm_cmpeq_epi8(v, k.exceptions[0]);
        for (int j = 1; j < Slots; ++j)
            hit = _mm_or_si128(hit, _mm_cmpeq_epi8(v, k.exceptions[j]));
        out = _mm_add_epi8(out, _mm_and_si128(hit, k.lanes)); // the mask's 0xFF is −1
    }
    return out;
}

template <int Slots>
void LinearKernelSSE2(const UInt8* src, UInt8* dst, SInt32 count, const EffectSetupRec& s) {
    const LinearSSE2Rec k = LinearSSE2Constants(s);
    SInt32 i = 0;
    for (; i + 4 <= count; i += 4) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 4 * i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 4 * i), LinearFour<Slots>(v, k));
    }
    if (i < count) { // the last few pixels through a block on the stack
        UInt8 block[16] = {};
        std::memcpy(block, src + 4 * i, size_t(count - i) * 4);
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(block), LinearFour<Slots>(v, k));
        std::memcpy(dst + 4 * i, block, size_t(count - i) * 4);
    }
}

struct LinearAVX2Rec {
    __m256i slope, offset, lanes, exceptions[kMaxLinearExceptions], hashKeys, hashTable;
};

UW_TARGET_AVX2 LinearAVX2Rec LinearAVX2Constants(const EffectSetupRec& s) {
    LinearAVX2Rec k;
    k.slope = _mm256_set1_epi64x(Lanes(s.slope));
    k.offset = _mm256_set1_epi64x(Lanes(s.offset));
    k.lanes = _mm256_set1_epi32(int(Word(s.exceptionLanes)));
    for (int j = 0; j < kMaxLinearExceptions; ++j)
        k.exceptions[j] = _mm256_set1_epi32(int(Word(s.exceptions[j])));
    k.hashKeys = _mm256_set1_epi32(int(Word(s.hashKeys)));
    k.hashTable = _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(s.hashTable)));
    return k;
}

constexpr int kHashed = -1; // the number of slots of the kernel that looks the values up

// Unpacking and packing stay within each 128-bit half, so the pixels keep their order.
template <int Slots>
UW_TARGET_AVX2 inline __m256i LinearEight(__m256i v, const LinearAVX2Rec& k) {
    const __m256i zero = _mm256_setzero_si256(), hundredth = _mm256_set1_epi16(5243);
    __m256i lo = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(v, zero), k.slope), k.offset);
    __m256i hi = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(v, zero), k.slope), k.offset);
    lo = _mm256_srli_epi16(_mm256_mulhi_epu16(lo, hundredth), 3);
    hi = _mm256_srli_epi16(_mm256_mulhi_epu16(hi, hundredth), 3);
    __m256i out = _mm256_packus_epi16(lo, hi);
    if constexpr (Slots == kHashed) {
        __m256i entry = _mm256_and_si256(_mm256_add_epi8(v, k.hashKeys), _mm256_set1_epi8(15));
        __m256i hit = _mm256_cmpeq_epi8(_mm256_shuffle_epi8(k.hashTable, entry), v);
        out = _mm256_add_epi8(out, _mm256_and_si256(hit, k.lanes));
    } else if constexpr (Slots > 0) {
        __m256i hit = _mm256_cmpeq_epi8(v, k.exceptions[0]);
        for (int j = 1; j < Slots; ++j)
            hit = _mm256_or_si256(hit, _mm256_cmpeq_epi8(v, k.exceptions[j]));
        out = _mm256_add_epi8(out, _mm256_and_si256(hit, k.lanes));
    }
    return out;
}

template <int Slots>
UW_TARGET_AVX2 void LinearKernelAVX2(const UInt8* src, UInt8* dst, SInt32 count, const EffectSetupRec& s) {
    const LinearAVX2Rec k = LinearAVX2Constants(s);
    SInt32 i = 0;
    for (; i + 8 <= count; i += 8) {
        __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 4 * i));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 4 * i), LinearEight<Slots>(v, k));
    }
    if (i < count) {
        UInt8 block[32] = {};
        std::memcpy(block, src + 4 * i, size_t(count - i) * 4);
        __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(block));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(block), LinearEight<Slots>(v, k));
        std::memcpy(dst + 4 * i, block, size_t(count - i) * 4);
    }
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

// The linear kernels by the number of exception slots in use. Amounts 0..100 list 0, 1, 2 or 5
// values a lane; unused slots repeat a lane's values, so three and four take the five-slot kernel.
// With AVX2, more than two slots take the lookup.
constexpr EffectKernelProc kLinearSSE2[] = {LinearKernelSSE2<0>, LinearKernelSSE2<1>, LinearKernelSSE2<2>,
                                            LinearKernelSSE2<5>, LinearKernelSSE2<5>, LinearKernelSSE2<5>};
constexpr EffectKernelProc kLinearAVX2[] = {LinearKernelAVX2<0>, LinearKernelAVX2<1>, LinearKernelAVX2<2>};
static_assert(std::size(kLinearSSE2) == kMaxLinearExceptions + 1);

int ProcessorSet() {
    static const int set = [] {
        if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
            __builtin_cpu_supports("avx512vbmi"))
            return kAVX512VBMI;
        return __builtin_cpu_supports("avx2") ? kAVX2 : kSSE2;
    }();
    return set;
}

int ActiveSet() {
    return std::min(ProcessorSet(), lgPinnedSet.load(std::memory_order_relaxed));
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
    setup.isLinear = PrepareLinear(setup, redAmount, greenAmount, blueAmount);
    setup.isHashed = setup.isLinear && setup.exceptionSlots > 2 && PrepareHash(setup);
}

// The byte permutes take the same time whatever the amounts; the linear form is faster when
// it lists no values and slower when it does.
NamedKernelRec ChooseEffectKernel(const EffectSetupRec& setup) {
    const int set = ActiveSet();
    if (set == kScalar) return {"table", TableKernel};
    if (setup.isXor)
        return set >= kAVX2 ? NamedKernelRec{"xor-avx2", XorKernelAVX2}
                            : NamedKernelRec{"xor-sse2", XorKernel};
    if (set >= kAVX512VBMI && !(setup.isLinear && setup.exceptionSlots == 0))
        return {"table-avx512vbmi", TableKernelVBMI};
    if (!setup.isLinear) return {"table", TableKernel};
    if (set >= kAVX2 && setup.isHashed) return {"linear-avx2", LinearKernelAVX2<kHashed>};
    if (set >= kAVX2 && setup.exceptionSlots < 3) return {"linear-avx2", kLinearAVX2[setup.exceptionSlots]};
    return {"linear-sse2", kLinearSSE2[setup.exceptionSlots]};
}

std::vector<const char*> EffectInstructionSets() {
    return std::vector<const char*>(kSetNames, kSetNames + ProcessorSet() + 1);
}

bool PinEffectInstructionSet(const char* name) {
    if (!name) {
        lgPinnedSet.store(kSetCount, std::memory_order_relaxed);
        return true;
    }
    for (int set = 0; set <= ProcessorSet(); ++set)
        if (std::strcmp(name, kSetNames[set]) == 0) {
            lgPinnedSet.store(set, std::memory_order_relaxed);
            return true;
        }
    return false;
}

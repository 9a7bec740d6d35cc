// Per-pixel arithmetic between buffers, inversion, brightness, copying and blending a
// rectangle, the alpha channel, and single-pixel access.
#include "render/ImageOps.h"

#include "render/pixelAccess.h"

#include <array>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace {

inline UInt8 Clamp255(SInt32 value) {
    return UInt8(value > 255 ? 255 : value);
}

// Sets red, green and blue of p1 to f(c1, c2) channel by channel.
template <typename F>
inline PixRec MapChannels(PixRec p1, PixRec p2, F f) {
    p1.red = f(p1.red, p2.red);
    p1.green = f(p1.green, p2.green);
    p1.blue = f(p1.blue, p2.blue);
    return p1;
}

inline PixRec Inverted(PixRec p) {
    p.red = UInt8(255 - p.red);
    p.green = UInt8(255 - p.green);
    p.blue = UInt8(255 - p.blue);
    return p;
}

// The frame shared by the two-source operations: all three buffers present and of one size;
// dest's pixel inside activeRect := kernel(source1's pixel, source2's pixel).
template <typename Kernel>
void CombineThree(GWorldPtr source1, GWorldPtr source2, GWorldPtr dest, const Rect& activeRect,
                  Kernel kernel) {
    if (!source1 || !source2 || !dest) return;
    PixelAccessRec a1(source1), a2(source2), ad(dest);
    if (!a1.SameSize(a2) || !a1.SameSize(ad)) return;
    WalkArea3(a1, a2, ad, ClipToBuffer(activeRect, a1.width, a1.height),
              [&](const PixRec* p1, const PixRec* p2, PixRec* pd) { *pd = kernel(*p1, *p2); });
}

// The same for one source: dest's pixel inside activeRect := kernel(source1's pixel).
template <typename Kernel>
void MapTwo(GWorldPtr source1, GWorldPtr dest, const Rect& activeRect, Kernel kernel) {
    if (!source1 || !dest) return;
    PixelAccessRec a1(source1), ad(dest);
    if (!a1.SameSize(ad)) return;
    WalkArea2(a1, ad, ClipToBuffer(activeRect, a1.width, a1.height),
              [&](const PixRec* p1, PixRec* pd) { *pd = kernel(*p1); });
}

// The alpha weights p (for the first source) and q (for the second) of every alpha value.
struct AlphaWeightsRec {
    std::array<double, 256> p, q;
};

AlphaWeightsRec MakeAlphaWeights(bool invertAlpha) {
    AlphaWeightsRec w;
    for (int a = 0; a < 256; ++a) {
        double p = a / 255.0;
        if (invertAlpha) p = 1.0 - p;
        w.p[size_t(a)] = p;
        w.q[size_t(a)] = 1.0 - p;
    }
    return w;
}

} // namespace

void AddGWorlds(GWorldPtr source1, GWorldPtr source2, GWorldPtr dest, Rect activeRect, Boolean normalise,
                Boolean useAlpha, Boolean useSource1, Boolean invertAlpha) {
    if (useAlpha) {
        const AlphaWeightsRec w = MakeAlphaWeights(invertAlpha);
        CombineThree(source1, source2, dest, activeRect, [&](PixRec p1, PixRec p2) {
            const size_t a = useSource1 ? p1.alpha : p2.alpha;
            const double p = w.p[a], q = w.q[a];
            return MapChannels(
                p1, p2, [=](SInt32 c1, SInt32 c2) { return Clamp255(SInt32(c1 * p) + SInt32(c2 * q)); });
        });
    } else if (normalise) {
        CombineThree(source1, source2, dest, activeRect, [](PixRec p1, PixRec p2) {
            return MapChannels(p1, p2, [](SInt32 c1, SInt32 c2) { return UInt8((c1 + c2) >> 1); });
        });
    } else {
        CombineThree(source1, source2, dest, activeRect, [](PixRec p1, PixRec p2) {
            return MapChannels(p1, p2, [](SInt32 c1, SInt32 c2) { return Clamp255(c1 + c2); });
        });
    }
}

void AddWeightedGWorlds(GWorldPtr source1, GWorldPtr source2, GWorldPtr dest, SInt16 w1, SInt16 w2,
                        Rect activeRect) {
    const SInt32 sum = SInt32(w1) + w2;
    if (sum == 0) return; // no weights: nothing to divide by
    CombineThree(source1, source2, dest, activeRect, [=](PixRec p1, PixRec p2) {
        return MapChannels(p1, p2, [=](SInt32 c1, SInt32 c2) {
            // The quotient is held as an unsigned 16-bit value, so a negative one becomes 255.
            const UInt16 value = UInt16((c1 * w1 + c2 * w2) / sum);
            return UInt8(value > 255 ? 255 : value);
        });
    });
}

void AverageGWorlds(const GWorldList source, GWorldPtr dest, SInt16 gwNum, Rect activeRect) {
    if (!source || !dest || gwNum < 1 || gwNum > 100) return;
    for (SInt16 i = 1; i <= gwNum; ++i)
        if (!source[i]) return;
    // Slot 0 holds dest's access; slots are released in the reverse order of taking, so a
    // buffer listed twice gets its original state back.
    std::array<std::optional<PixelAccessRec>, 101> access;
    access[0].emplace(dest);
    for (SInt16 i = 1; i <= gwNum; ++i)
        access[size_t(i)].emplace(source[i]);
    const PixelAccessRec& last = *access[size_t(gwNum)];
    for (SInt16 i = 0; i <= gwNum; ++i)
        if (!last.SameSize(*access[size_t(i)])) return;

    const PixelAreaRec area = ClipToBuffer(activeRect, last.width, last.height);
    if (area.Empty()) return;
    std::array<Ptr, 101> rows;
    for (SInt16 i = 0; i <= gwNum; ++i)
        rows[size_t(i)] = access[size_t(i)]->base + area.top * access[size_t(i)]->rowBytes;
    for (SInt32 y = area.top; y < area.bottom; ++y) {
        for (SInt32 x = area.left; x < area.right; ++x) {
            UInt32 red = 0, green = 0, blue = 0;
            for (SInt16 i = 1; i <= gwNum; ++i) {
                const PixRec& p = reinterpret_cast<const PixRec*>(rows[size_t(i)])[x];
                red += p.red;
                green += p.green;
                blue += p.blue;
            }
            PixRec result = reinterpret_cast<const PixRec*>(rows[size_t(gwNum)])[x];
            result.red = UInt8(red / UInt32(gwNum));
            result.green = UInt8(green / UInt32(gwNum));
            result.blue = UInt8(blue / UInt32(gwNum));
            reinterpret_cast<PixRec*>(rows[0])[x] = result;
        }
        for (SInt16 i = 0; i <= gwNum; ++i)
            rows[size_t(i)] += access[size_t(i)]->rowBytes;
    }
}

void SubtractGWorlds(GWorldPtr source1, GWorldPtr source2, GWorldPtr dest, Rect activeRect, Boolean calcDiff,
                     Boolean useAlpha, Boolean useSource1, Boolean invertAlpha, double amplifyer,
                     double threshold) {
    const double limit = threshold * 255.0;
    const AlphaWeightsRec w = MakeAlphaWeights(invertAlpha);
    auto finish = [=](SInt32 d) -> UInt8 {
        if (std::abs(d) < limit) d = 0;
        if (amplifyer != 0.0) {
            // Clamping before truncating gives the same result and stays defined for any gain.
            const double amplified = d * amplifyer;
            if (amplified > 255.0)
                d = 255;
            else if (amplified < -255.0)
                d = -255;
            else
                d = std::isnan(amplified) ? 0 : SInt32(amplified);
        }
        if (calcDiff)
            d = std::abs(d);
        else if (d < 0)
            d = 0;
        return UInt8(d & 0xFF);
    };
    CombineThree(source1, source2, dest, activeRect, [&](PixRec p1, PixRec p2) {
        if (!useAlpha) return MapChannels(p1, p2, [&](SInt32 c1, SInt32 c2) { return finish(c1 - c2); });
        const size_t a = useSource1 ? p1.alpha : p2.alpha;
        const double p = w.p[a], q = w.q[a];
        return MapChannels(p1, p2,
                           [&](SInt32 c1, SInt32 c2) { return finish(SInt32(c1 * p) - SInt32(c2 * q)); });
    });
}

void MultiplyGWorlds(GWorldPtr source1, GWorldPtr source2, GWorldPtr dest, Rect activeRect) {
    CombineThree(source1, source2, dest, activeRect, [](PixRec p1, PixRec p2) {
        return MapChannels(p1, p2, [](SInt32 c1, SInt32 c2) { return UInt8(c1 * c2 / 255); });
    });
}

void DivideGWorlds(GWorldPtr source1, GWorldPtr source2, GWorldPtr dest, Rect activeRect) {
    CombineThree(source1, source2, dest, activeRect, [](PixRec p1, PixRec p2) {
        return MapChannels(p1, p2, [](SInt32 c1, SInt32 c2) { return UInt8(c2 != 0 ? c1 / c2 : 255); });
    });
}

void InvertGWorlds(GWorldPtr source1, GWorldPtr dest, Rect activeRect) {
    MapTwo(source1, dest, activeRect, Inverted);
}

void TriggerInvertGWorlds(GWorldPtr source1, GWorldPtr dest, SInt16 value, Boolean whenAbove,
                          Rect activeRect) {
    MapTwo(source1, dest, activeRect, [=](PixRec p) {
        const SInt32 avg = (SInt32(p.red) + p.green + p.blue) / 3;
        const bool invert = whenAbove ? avg > value : avg < value;
        return invert ? Inverted(p) : p;
    });
}

namespace {

// source2's colour scaled by the brightness of source1 (sign +1 brightens, -1 darkens);
// the result carries source1's alpha.
void ScaleByBrightness(GWorldPtr source1, GWorldPtr source2, GWorldPtr dest, bool invert, Rect activeRect,
                       double sign) {
    CombineThree(source1, source2, dest, activeRect, [=](PixRec p1, PixRec p2) {
        double p = ((SInt32(p1.red) + p1.green + p1.blue) / 3.0) / 255.0;
        if (invert) p = 1.0 - p;
        p2.alpha = p1.alpha;
        return MapChannels(p2, p2, [=](SInt32 c, SInt32) { return Clamp255(SInt32(c + sign * (c * p))); });
    });
}

} // namespace

void BrightenGWByGW(GWorldPtr source1, GWorldPtr source2, GWorldPtr dest, Boolean invert, Rect activeRect) {
    ScaleByBrightness(source1, source2, dest, invert, activeRect, 1.0);
}

void DarkenGWByGW(GWorldPtr source1, GWorldPtr source2, GWorldPtr dest, Boolean invert, Rect activeRect) {
    ScaleByBrightness(source1, source2, dest, invert, activeRect, -1.0);
}

void CopyPartOfGWorlds(GWorldPtr source1, GWorldPtr dest, Rect activeRect) {
    MapTwo(source1, dest, activeRect, [](PixRec p) {
        p.alpha = 255;
        return p;
    });
}

void SwapPartOfGWorlds(GWorldPtr source1, GWorldPtr dest, Rect activeRect) {
    if (!source1 || !dest) return;
    PixelAccessRec a1(source1), ad(dest);
    if (!a1.SameSize(ad)) return;
    WalkArea2(a1, ad, ClipToBuffer(activeRect, a1.width, a1.height), [](PixRec* p1, PixRec* pd) {
        const PixRec held = *p1;
        *p1 = *pd;
        *pd = held;
    });
}

void AlphaBlit2(GWorldPtr source1, GWorldPtr dest, Rect activeRect, SInt16 alpha, Boolean copyRest) {
    if (!source1 || !dest) return;
    PixelAccessRec a1(source1), ad(dest);
    if (!a1.SameSize(ad)) return;
    const PixelAreaRec area = ClipToBuffer(activeRect, a1.width, a1.height);

    if (copyRest) {
        // Everything outside the rectangle is copied unchanged, row segment by row segment.
        auto copySpan = [&](SInt32 y, SInt32 from, SInt32 to) {
            if (from < to) std::memmove(ad.At(from, y), a1.At(from, y), size_t(to - from) * 4);
        };
        for (SInt32 y = 0; y < a1.height; ++y) {
            if (area.Empty() || y < area.top || y >= area.bottom) {
                copySpan(y, 0, a1.width);
            } else {
                copySpan(y, 0, area.left);
                copySpan(y, area.right, a1.width);
            }
        }
    }
    if (alpha <= 0) return;
    if (alpha >= 100) {
        WalkArea2(a1, ad, area, [](const PixRec* p1, PixRec* pd) { *pd = *p1; });
        return;
    }
    const double p = alpha / 100.0, q = 1.0 - p;
    WalkArea2(a1, ad, area, [=](const PixRec* p1, PixRec* pd) {
        *pd = MapChannels(*p1, *pd, [=](SInt32 c1, SInt32 cd) { return UInt8(SInt32(c1 * p + cd * q)); });
    });
}

namespace {

void SetAllAlpha(GWorldPtr source1, UInt8 alpha) {
    if (!source1) return;
    PixelAccessRec a(source1);
    WalkArea1(a, PixelAreaRec{0, 0, a.height, a.width}, [=](PixRec* p) { p->alpha = alpha; });
}

} // namespace

void SetFixedAlpha(GWorldPtr source1, SInt16 alpha) {
    if (!source1) return;
    PixelAccessRec a(source1);
    // The pixel as one word: the alpha byte lies at the lowest address, which is the word's
    // least significant byte on a little-endian processor and its most significant on a
    // big-endian one.
    constexpr bool little = std::endian::native == std::endian::little;
    constexpr UInt32 keep = little ? 0xFFFFFF00u : 0x00FFFFFFu;
    const UInt32 alphaBits = little ? UInt32(UInt8(alpha)) : UInt32(UInt8(alpha)) << 24;
    WalkArea1(a, PixelAreaRec{0, 0, a.height, a.width}, [=](PixRec* p) {
        UInt32 word;
        std::memcpy(&word, p, 4);
        word = (word & keep) | alphaBits;
        std::memcpy(p, &word, 4);
    });
}

void SetFixedAlphaOld(GWorldPtr source1, SInt16 alpha) {
    SetAllAlpha(source1, UInt8(alpha));
}

void KillAlphaNull(GWorldPtr source1) {
    SetAllAlpha(source1, 0);
}

void KillAlphaFull(GWorldPtr source1) {
    SetAllAlpha(source1, 255);
}

void AccessPixel(GWorldPtr source, SInt16 x, SInt16 y, PixRec& thePixel) {
    if (!source) return;
    Ptr base;
    SInt32 rowBytes;
    Rect frame;
    UInt32 state;
    // The pixel state is not restored: the buffer stays locked for the caller.
    GetPixInfoFromGWorld(source, base, rowBytes, frame, state);
    rowBytes &= 0x3FFF;
    thePixel = PixRec{0, 1, 2, 3};
    const SInt32 width = SInt32(frame.right) - frame.left, height = SInt32(frame.bottom) - frame.top;
    if (base && rowBytes >= 4 * width && x >= 0 && x < width && y >= 0 && y < height)
        thePixel = *reinterpret_cast<const PixRec*>(base + y * rowBytes + 4 * x);
}

// Image operations on a 1920 x 1080 frame beside a memcpy of the same frame; each reports
// its time per pixel in seconds (time_per_pixel, e.g. 1.3n = 1.3 ns).
#include "render/ImageOps.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

constexpr SInt16 kWidth = 1920;
constexpr SInt16 kHeight = 1080;
constexpr Rect kFrame{0, 0, kHeight, kWidth};

// A frame with every pixel different, so no operation meets a uniform shortcut.
GWorldPtr MakeFrame(UInt8 salt) {
    GWorldPtr gw = AllocateGWorld(kWidth, kHeight);
    Ptr base;
    SInt32 rowBytes;
    Rect frame;
    UInt32 state;
    GetPixInfoFromGWorld(gw, base, rowBytes, frame, state);
    for (int y = 0; y < kHeight; ++y) {
        PixRec* row = reinterpret_cast<PixRec*>(base + y * rowBytes);
        for (int x = 0; x < kWidth; ++x)
            row[x] = PixRec{UInt8(x + salt), UInt8(x * 3 + y), UInt8(y * 5 + salt), UInt8(x ^ y)};
    }
    SetPixelsState(GetGWorldPixMap(gw), state);
    return gw;
}

void ReportPerPixel(benchmark::State& state) {
    state.counters["time_per_pixel"] =
        benchmark::Counter(double(kWidth) * kHeight,
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_Memcpy(benchmark::State& state) {
    const size_t bytes = size_t(kWidth) * kHeight * 4;
    std::vector<char> from(bytes, 1), to(bytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::ClobberMemory();
    }
    ReportPerPixel(state);
}
BENCHMARK(BM_Memcpy);

void BM_AddGWorlds(benchmark::State& state) {
    GWorldPtr a = MakeFrame(1), b = MakeFrame(2), d = MakeFrame(3);
    const bool useAlpha = state.range(0) != 0;
    for (auto _ : state) {
        AddGWorlds(a, b, d, kFrame, !useAlpha, useAlpha, true, false);
        benchmark::ClobberMemory();
    }
    ReportPerPixel(state);
    DisposeGWorld(a);
    DisposeGWorld(b);
    DisposeGWorld(d);
}
BENCHMARK(BM_AddGWorlds)->ArgName("useAlpha")->Arg(0)->Arg(1);

// The whole frame is one colour region; the fill colour alternates so every pass fills all.
void BM_FillGW(benchmark::State& state) {
    GWorldPtr gw = AllocateGWorld(kWidth, kHeight);
    ClearGW(gw, RGBColor{0x1000, 0x2000, 0x3000});
    bool flip = false;
    for (auto _ : state) {
        const RGBColor colour = flip ? RGBColor{0x1000, 0x2000, 0x3000} : RGBColor{0xFF00, 0x8000, 0};
        FillGW(gw, colour, kWidth / 2, kHeight / 2, 255, 1);
        flip = !flip;
        benchmark::ClobberMemory();
    }
    ReportPerPixel(state);
    DisposeGWorld(gw);
}
BENCHMARK(BM_FillGW);

void BM_DistortGWorlds(benchmark::State& state) {
    GWorldPtr s = MakeFrame(4), d = MakeFrame(5);
    const bool collect = state.range(0) != 0;
    // A keystone: the top edge pulled in by a tenth on each side.
    const Point tl{0, kWidth / 10}, tr{0, kWidth - kWidth / 10}, bl{kHeight, 0}, br{kHeight, kWidth};
    for (auto _ : state) {
        DistortGWorlds(s, d, kFrame, tl, tr, bl, br, collect);
        benchmark::ClobberMemory();
    }
    ReportPerPixel(state);
    DisposeGWorld(s);
    DisposeGWorld(d);
}
BENCHMARK(BM_DistortGWorlds)->ArgName("collect")->Arg(0)->Arg(1);

} // namespace

BENCHMARK_MAIN();

// The effect and the render pass on a 1920 × 1080 frame, beside a memcpy of the same frame.
// Each benchmark reports ns per pixel and its time in memcpy-equivalents (x_memcpy).
// Run pinned to one core: scripts/bench.sh.
#include "common/Blit.h"
#include "host/EffectLayer.h"
#include "model/relRects.h"
#include "render/pixelEffect.h"
#include "render/pixelKernels.h"
#include "ScriptedHost.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <vector>

namespace {

constexpr short kWidth = 1920, kHeight = 1080;
constexpr double kPixels = double(kWidth) * kHeight;
// Times are this thread's CPU time, so that other work on the machine does not count.
double ThreadNs() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e9 + double(t.tv_nsec);
}

// Mean time of a memcpy of one frame, the frame in cache, timed as the benchmarks are.
double MemcpyFrameNs() {
    static const double mean = [] {
        std::vector<UInt8> a(size_t(kPixels * 4), 7), b(a.size());
        std::memcpy(b.data(), a.data(), a.size());
        double total = 0;
        const int runs = 400;
        for (int i = 0; i < runs; ++i) {
            double t0 = ThreadNs();
            std::memcpy(b.data(), a.data(), a.size());
            benchmark::ClobberMemory();
            total += ThreadNs() - t0;
        }
        return total / runs;
    }();
    return mean;
}

void Report(benchmark::State& state, double totalNs) {
    double perFrame = totalNs / double(state.iterations());
    state.counters["ns_per_px"] = perFrame / kPixels;
    state.counters["x_memcpy"] = perFrame / MemcpyFrameNs();
}

template <typename F>
void Timed(benchmark::State& state, F&& body) {
    double total = 0;
    for (auto _ : state) {
        double t0 = ThreadNs();
        body();
        benchmark::ClobberMemory();
        total += ThreadNs() - t0;
    }
    Report(state, total);
}

GWorldPtr Frame() {
    Rect r{0, 0, kHeight, kWidth};
    GWorldPtr gw = nullptr;
    NewGWorld(&gw, 32, &r, nullptr, nullptr, 0);
    testhost::ScriptedHost::FillPattern(3, gw);
    return gw;
}

void BM_Memcpy(benchmark::State& state) {
    std::vector<UInt8> a(size_t(kPixels * 4), 7), b(a.size());
    Timed(state, [&] { std::memcpy(b.data(), a.data(), a.size()); });
}

void BM_PixelEffect(benchmark::State& state, SInt16 r, SInt16 g, SInt16 b) {
    GWorldPtr src = Frame(), dst = Frame();
    PluginDataRec cfg{};
    cfg.startRel = SetRelRect(0, 0, 1, 1);
    cfg.sliders[1] = r;
    cfg.sliders[2] = g;
    cfg.sliders[3] = b;
    Rect all{0, 0, kHeight, kWidth};
    Timed(state, [&] { PixelEffect(src, dst, all, true, &cfg); });
    DisposeGWorld(src);
    DisposeGWorld(dst);
}

// The plain per-channel table loop that processors without AVX-512 VBMI run for general amounts.
void BM_PixelEffectPortableTable(benchmark::State& state) {
    std::vector<UInt8> a(size_t(kPixels * 4), 7), b(a.size());
    EffectSetupRec setup;
    PrepareEffect(setup, 30, 60, 90);
    EffectKernelProc table = AvailableEffectKernels(setup).front().proc;
    Timed(state, [&] { table(a.data(), b.data(), SInt32(kPixels), setup); });
}

// One kPlugDoFrame through the scripted host, inside or outside a fade.
void BM_DoFrame(benchmark::State& state, bool fade) {
    testhost::ScriptedHost host;
    host.procs.Blit = hosts::BlitPixMaps; // a fade is mixed by the video host's own Blit
    UnloadEffectLayer(&host.procs);
    HYPluginParams params = host.MakeParams(kPlugGetInfo);
    PluginMain(0, &params);
    GWorldPtr output = Frame();
    params.frame = output;
    params.frameRect = Rect{0, 0, kHeight, kWidth};
    params.frameCount = 100;
    host.filterInfo.fadeInFrames = 10;
    params.selector = kPlugInitialize;
    PluginMain(0, &params);
    params.selector = kPlugDoFrame;
    params.renderFrame = fade ? 5 : 50;
    PluginMain(0, &params); // the host makes its frame once; later calls reuse it
    Timed(state, [&] {
        host.ClearCalls();
        PluginMain(0, &params);
    });
    params.selector = kPlugTerminate;
    PluginMain(0, &params);
    DisposeGWorld(output);
    UnloadEffectLayer(&host.procs);
}

} // namespace

BENCHMARK(BM_Memcpy)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_PixelEffect, Default_100_100_100, 100, 100, 100)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_PixelEffect, Amounts_30_60_90, 30, 60, 90)->Unit(benchmark::kMicrosecond);
// Every amount outside {0, 100} takes the same table kernel; these are as slow as any.
BENCHMARK_CAPTURE(BM_PixelEffect, Slowest_1_50_99, 1, 50, 99)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PixelEffectPortableTable)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_DoFrame, NoFade, false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_DoFrame, Fade, true)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();

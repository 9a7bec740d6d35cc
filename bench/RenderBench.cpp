// The effect and the render pass on a 1920 × 1080 frame, beside a memcpy of the same frame.
// Each benchmark reports ns per pixel and its time in memcpy-equivalents (x_memcpy). The effect
// runs with the kernels of every instruction set the processor has, labelled with the kernel.
// Run pinned to one core: scripts/bench.sh.
#include "common/Blit.h"
#include "host/EffectLayer.h"
#include "model/relRects.h"
#include "render/pixelEffect.h"
#include "render/pixelKernels.h"
#include "ScriptedHost.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr short kWidth = 1920, kHeight = 1080;
constexpr double kPixels = double(kWidth) * kHeight;
const char* gPinnedSet = nullptr; // --kernel=SET: the kernels every benchmark but the effect's own use
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

// The effect over a whole frame with the kernels of one instruction set; the label names the
// kernel that ran.
void BM_PixelEffect(benchmark::State& state, const char* set, SInt16 r, SInt16 g, SInt16 b) {
    GWorldPtr src = Frame(), dst = Frame();
    PluginDataRec cfg{};
    cfg.startRel = SetRelRect(0, 0, 1, 1);
    cfg.sliders[1] = r;
    cfg.sliders[2] = g;
    cfg.sliders[3] = b;
    Rect all{0, 0, kHeight, kWidth};
    PinEffectInstructionSet(set);
    EffectSetupRec setup;
    PrepareEffect(setup, r, g, b);
    state.SetLabel(ChooseEffectKernel(setup).name);
    Timed(state, [&] { PixelEffect(src, dst, all, true, &cfg); });
    PinEffectInstructionSet(gPinnedSet);
    DisposeGWorld(src);
    DisposeGWorld(dst);
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

// The instruction-set features the effect's kernels use, as this processor reports them.
std::string ProcessorFeatures() {
    std::string features;
    const std::pair<const char*, bool> flags[] = {{"sse2", __builtin_cpu_supports("sse2")},
                                                  {"ssse3", __builtin_cpu_supports("ssse3")},
                                                  {"avx2", __builtin_cpu_supports("avx2")},
                                                  {"avx512f", __builtin_cpu_supports("avx512f")},
                                                  {"avx512bw", __builtin_cpu_supports("avx512bw")},
                                                  {"avx512vbmi", __builtin_cpu_supports("avx512vbmi")}};
    for (const auto& [name, present] : flags)
        if (present) features += std::string(features.empty() ? "" : " ") + name;
    return features;
}

// The effect with each instruction set this processor has: the default amounts (XOR), amounts
// without exceptions, and the slowest, whose amounts list five exceptions.
void RegisterEffectBenchmarks() {
    struct Amounts {
        const char* name;
        SInt16 r, g, b;
    };
    const Amounts amounts[] = {{"Default_100_100_100", 100, 100, 100},
                               {"Amounts_30_60_90", 30, 60, 90},
                               {"Amounts_1_50_99", 1, 50, 99},
                               {"Slowest_20_80_8", 20, 80, 8}};
    for (const char* set : EffectInstructionSets())
        for (const Amounts& a : amounts)
            benchmark::RegisterBenchmark((std::string("BM_PixelEffect/") + set + "/" + a.name).c_str(),
                                         BM_PixelEffect, set, a.r, a.g, a.b)
                ->Unit(benchmark::kMicrosecond);
}

} // namespace

BENCHMARK(BM_Memcpy)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_DoFrame, NoFade, false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_DoFrame, Fade, true)->Unit(benchmark::kMicrosecond);

// Besides Google Benchmark's flags: --kernel=SET pins the kernels of the other benchmarks
// (scalar, sse2, avx2, avx512vbmi) as on a processor that has nothing newer.
int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg.rfind("--kernel=", 0) != 0) continue;
        gPinnedSet = argv[i] + 9;
        if (!PinEffectInstructionSet(gPinnedSet)) {
            std::fprintf(stderr, "render_bench: this processor has no %s kernels\n", gPinnedSet);
            return 2;
        }
        std::copy(argv + i + 1, argv + argc, argv + i);
        --argc;
        --i;
    }
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
    benchmark::AddCustomContext("cpu_features", ProcessorFeatures());
    benchmark::AddCustomContext("kernels_pinned", gPinnedSet ? gPinnedSet : "no");
    RegisterEffectBenchmarks();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

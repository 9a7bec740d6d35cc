#include "host/RenderPass.h"
#include "dialog/configdlghandler.h"
#include "EffectOracle.h"
#include "host/EffectLayer.h"
#include "host/iMovieGlue.h"
#include "model/relRects.h"
#include "PaddedBuffer.h"
#include "render/callPixelFX.h"
#include "render/pixelBuffers.h"
#include "ScriptedHost.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include <sys/resource.h>
#include <unistd.h>

namespace {

using Pixel = std::array<UInt8, 4>;
const Pixel kUntouched{1, 2, 3, 4};

// A host that hands out lgHandedOut as every frame (a buffer over memory the test chose).
GWorldPtr lgHandedOut = nullptr;
HYPluginResult HandOutFrame(void*, SInt32, GWorldPtr* outFrame, SInt16, SInt16, HYRefDVQuality, SInt16*,
                            void** outCookie) {
    testhost::ScriptedHost::Current()->calls.push_back({"GetFrame", {}});
    *outFrame = lgHandedOut;
    *outCookie = nullptr;
    return kPluginOK;
}

class RenderPass : public testing::Test {
  protected:
    void SetUp() override {
        UnloadEffectLayer(&host.procs);
        params = host.MakeParams(kPlugGetInfo);
        ASSERT_EQ(PluginMain(0, &params), kPluginOK);
        Rect bounds{0, 0, 30, 40};
        ASSERT_EQ(NewGWorld(&output, 32, &bounds, nullptr, nullptr, 0), noErr);
        Paint(output, kUntouched);
        params.frame = output;
        params.frameRect = Rect{4, 3, 24, 35}; // 32 × 20, inside the output
        params.startFrame = 100;
        params.frameCount = 10;
    }
    void TearDown() override {
        Call(kPlugTerminate);
        DisposeGWorld(output);
        UnloadEffectLayer(&host.procs);
    }
    int Call(HYPluginSelector selector) {
        params.selector = selector;
        return PluginMain(0, &params);
    }
    int Frame(SInt32 renderFrame) {
        params.renderFrame = renderFrame;
        return Call(kPlugDoFrame);
    }
    static void Paint(GWorldPtr gw, Pixel p) {
        PixMapHandle pm = GetGWorldPixMap(gw);
        for (int y = 0; y < CarbonGetPortBounds(gw).bottom; ++y)
            for (int x = 0; x < CarbonGetPortBounds(gw).right; ++x)
                std::memcpy(GetPixBaseAddr(pm) + y * GetPixRowBytes(pm) + 4 * x, p.data(), 4);
    }
    static Pixel At(GWorldPtr gw, int x, int y) {
        PixRec p = PixelOf(gw, x, y);
        return Pixel{p.alpha, p.red, p.green, p.blue};
    }
    // The output expected after rendering renderFrame: computed from the host's pattern,
    // the rectangle and amounts, and the fade's opacity (−1: no fade).
    Pixel Expected(int x, int y, SInt32 renderFrame, int opacity) const {
        const Rect& fr = params.frameRect;
        if (x < fr.left || x >= fr.right || y < fr.top || y >= fr.bottom) return kUntouched;
        int fx = x - fr.left, fy = y - fr.top;
        Pixel raw = testhost::ScriptedHost::PatternPixel(params.startFrame + renderFrame, fx, fy);
        Pixel out = raw;
        const RelRect& rel = gMasterConfig->startRel;
        const int w = fr.right - fr.left, h = fr.bottom - fr.top;
        if (fy >= oracle::Edge(h, rel.top) && fy < oracle::Edge(h, rel.bottom) &&
            fx >= oracle::Edge(w, rel.left) && fx < oracle::Edge(w, rel.right))
            out = Pixel{255, oracle::Channel(raw[1], gMasterConfig->sliders[1]),
                        oracle::Channel(raw[2], gMasterConfig->sliders[2]),
                        oracle::Channel(raw[3], gMasterConfig->sliders[3])};
        if (opacity >= 0)
            for (int i = 0; i < 4; ++i)
                out[size_t(i)] = testhost::ScriptedHost::BlendByte(raw[size_t(i)], out[size_t(i)], opacity);
        return out;
    }
    void ExpectWholeOutput(SInt32 renderFrame, int opacity) {
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x)
                ASSERT_EQ(At(output, x, y), Expected(x, y, renderFrame, opacity))
                    << "frame " << renderFrame << " at " << x << "," << y;
    }
    EffectData* Pass() { return static_cast<EffectData*>(params.clientData); }

    testhost::ScriptedHost host;
    HYPluginParams params{};
    GWorldPtr output = nullptr;
};

} // namespace

// Frames of a clip with fades in and out and frames outside the clip, pixel by pixel inside,
// outside and on the edges of the rectangle and of frameRect, with the host calls of each. A
// frame outside the clip is a fade frame only when the fade on its side is set.
TEST_F(RenderPass, EveryFrameIsPixelExactWithItsFadeAndHostCalls) {
    gMasterConfig->startRel = SetRelRect(0.25, 0.2, 0.75, 0.9);
    gMasterConfig->sliders[1] = 30;
    gMasterConfig->sliders[2] = 60;
    gMasterConfig->sliders[3] = 90;
    struct Case {
        SInt32 in, out, renderFrame;
        int opacity; // -1: no fade copy and no Blit
    } cases[] = {{3, 4, 0, 255},  {3, 4, 1, 170}, {3, 4, 2, 85},  {3, 4, 3, -1},  {3, 4, 6, -1},
                 {3, 4, 7, 63},   {3, 4, 8, 127}, {3, 4, 9, 191}, {0, 0, -1, -1}, {0, 0, 10, -1},
                 {3, 0, -3, 255}, {3, 0, 12, -1}, {0, 3, -1, -1}, {0, 3, 12, 255}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "fades " << c.in << "/" << c.out << ", frame " << c.renderFrame);
        if (c.in != host.filterInfo.fadeInFrames || c.out != host.filterInfo.fadeOutFrames || !Pass()) {
            host.filterInfo.fadeInFrames = c.in;
            host.filterInfo.fadeOutFrames = c.out;
            ASSERT_EQ(Call(kPlugInitialize), kPluginOK);
        }
        host.ClearCalls();
        Paint(output, kUntouched);
        ASSERT_EQ(Frame(c.renderFrame), kPluginOK);
        ExpectWholeOutput(c.renderFrame, c.opacity);
        auto blits = host.CallsOf("Blit"), get = host.CallsOf("GetFrame");
        EXPECT_EQ(blits.size() == 1 ? int(blits[0].args[0]) : blits.empty() ? -1 : -2, c.opacity);
        ASSERT_EQ(get.size(), 1u);
        EXPECT_EQ(get[0].args,
                  (std::vector<std::int64_t>{100 + c.renderFrame, 32, 20, kDVHighQuality, get[0].args[4]}));
        EXPECT_EQ(host.CallsOf("ReleaseFrame")[0].args[0], get[0].args[4]);
        EXPECT_EQ(host.CallsOf("MixAudio")[0].args, (std::vector<std::int64_t>{get[0].args[4], 256}));
    }
    EXPECT_EQ(host.OutstandingFrames(), 0u);
    EXPECT_EQ(gMostRecentStartFrame, 100);
    EXPECT_EQ(gMostRecentFrameCount, 10);
}

TEST_F(RenderPass, FadesAreClampedToTheClip) {
    struct Case {
        SInt32 frames, in, out, wantIn, wantOut;
    } cases[] = {{10, 8, 8, 5, 5},  {11, 8, 8, 5, 5},  {10, 20, 0, 10, 0}, {10, 0, 30, 0, 10},
                 {10, -4, 3, 0, 3}, {10, 2, -7, 2, 0}, {-5, 0, 0, 0, 0},   {-5, 0, 3, 0, 0},
                 {-5, 2, 3, 0, 0},  {0, 4, 0, 0, 0},   {1, 0, 3, 0, 1}};
    for (const Case& c : cases) {
        params.frameCount = c.frames;
        host.filterInfo.fadeInFrames = c.in;
        host.filterInfo.fadeOutFrames = c.out;
        ASSERT_EQ(Call(kPlugInitialize), kPluginOK);
        EXPECT_EQ(Pass()->fadeInFrames, c.wantIn) << c.frames << " " << c.in << " " << c.out;
        EXPECT_EQ(Pass()->fadeOutFrames, c.wantOut) << c.frames << " " << c.in << " " << c.out;
        Call(kPlugTerminate);
    }
}

TEST_F(RenderPass, ProxyQualityAndAudio) {
    ASSERT_EQ(Call(kPlugInitialize), kPluginOK);
    params.proxyOnly = true;
    for (SInt16 rows : {SInt16(240), SInt16(260)}) {
        host.ClearCalls();
        params.frameRect = Rect{0, 0, rows, 20};
        EXPECT_EQ(Frame(2), kPluginOK);
        EXPECT_EQ(host.CallsOf("GetFrame")[0].args[3], rows <= 259 ? kDVLowQuality : kDVHighQuality);
        EXPECT_EQ(host.CountOf("MixAudio"), 0u);
    }
}

// What the host hears when a step fails: the first failure, else the release's. The frame is
// released on every path, and a frame that was not drawn leaves the output as it was.
TEST_F(RenderPass, FailuresAreReportedAndTheFrameAlwaysReleased) {
    host.filterInfo.fadeInFrames = 5; // frame 1 is a fade frame, frame 7 is not
    ASSERT_EQ(Call(kPlugInitialize), kPluginOK);
    const HYPluginResult kCant = kPluginCantGetNeededFrame, kAgain = kPluginTryAgainLater;
    struct Case {
        const char* failing; // answers kCant
        SInt32 renderFrame;
        bool tooWide; // frameRect wider than any buffer: no fade copy can be made
        HYPluginResult released, want;
        const char* calls;
    } cases[] = {{"", -103, false, kAgain, kAgain, "ReleaseFrame"},
                 {"GetFrame", 1, false, kAgain, kCant, "GetFrame ReleaseFrame"},
                 {"", 1, true, kPluginOK, kPluginFailed, "GetFrame ReleaseFrame"},
                 {"", 1, true, kAgain, kAgain, "GetFrame ReleaseFrame"},
                 {"Blit", 1, false, kAgain, kCant, "GetFrame Blit ReleaseFrame"},
                 {"MixAudio", 7, false, kPluginOK, kCant, "GetFrame MixAudio ReleaseFrame"},
                 {"", 7, false, kAgain, kAgain, "GetFrame MixAudio ReleaseFrame"}};
    const auto scriptedGetFrame = host.procs.GetFrame;
    Rect small{0, 0, 20, 32};
    ASSERT_EQ(NewGWorld(&lgHandedOut, 32, &small, nullptr, nullptr, 0), noErr);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.calls << ", failing " << c.failing << ", frame " << c.renderFrame);
        host.failures = {{c.failing, kCant}, {"ReleaseFrame", c.released}};
        host.ClearCalls();
        Paint(output, kUntouched);
        if (c.tooWide) host.procs.GetFrame = HandOutFrame;
        if (c.tooWide) params.frameRect.right = 5003;
        EXPECT_EQ(Frame(c.renderFrame), c.want);
        std::string calls;
        for (const auto& call : host.calls)
            calls += (calls.empty() ? "" : " ") + call.name;
        EXPECT_EQ(calls, c.calls);
        EXPECT_EQ(host.OutstandingFrames(), 0u);
        const bool drawn = calls.find("Blit") != std::string::npos || calls.find("Mix") != std::string::npos;
        EXPECT_EQ(At(output, 10, 10) != kUntouched, drawn);
        host.procs.GetFrame = scriptedGetFrame;
        params.frameRect.right = 35;
    }
    DisposeGWorld(lgHandedOut);
    host.failures.clear();
    // No pass, or no output buffer: nothing is fetched, released or handed to Blit.
    host.ClearCalls();
    void* pass = params.clientData;
    params.clientData = nullptr;
    EXPECT_EQ(Frame(1), kPluginBadParams);
    params.clientData = pass;
    params.frame = nullptr;
    EXPECT_EQ(Frame(1), kPluginBadParams);
    EXPECT_EQ(Call(kPlugFilePlaceHolder), kPluginBadParams);
    EXPECT_TRUE(host.calls.empty());
    params.frame = output;
}

// A fade frame whose scratch buffer cannot be had is reported, and neither covered by Blit nor
// mixed. The frame is wider than the output, so the pass cannot write straight into it; the
// process may then take one buffer of the frame's size more (the fade copy), not two.
TEST_F(RenderPass, AFrameThatCannotBeProcessedIsNeitherBlittedNorMixed) {
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "AddressSanitizer's allocator ends the process itself when memory runs out";
#endif
    host.filterInfo.fadeInFrames = 5;
    ASSERT_EQ(Call(kPlugInitialize), kPluginOK);
    params.frameRect = Rect{0, 0, 2600, 4095};
    GWorldPtr frame = nullptr;
    void* cookie = nullptr;
    SInt16 volume = 0;
    host.procs.GetFrame(&host, 101, &frame, 4095, 2600, kDVHighQuality, &volume, &cookie); // made now, kept
    host.procs.ReleaseFrame(&host, cookie);
    host.ClearCalls();
    EXPECT_EXIT(
        {
            long pages = 0;
            std::ifstream("/proc/self/statm") >> pages;
            rlimit limit{};
            getrlimit(RLIMIT_AS, &limit);
            limit.rlim_cur = rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE)) + 64 * 1024 * 1024;
            setrlimit(RLIMIT_AS, &limit);
            bool reported = Frame(1) == kPluginOutOfMemory;
            std::exit(reported && host.CountOf("Blit") + host.CountOf("MixAudio") == 0 &&
                              host.CountOf("ReleaseFrame") == 1 && At(output, 5, 5) == kUntouched
                          ? 0
                          : 1);
        },
        testing::ExitedWithCode(0), "");
}

TEST_F(RenderPass, PassesOpenAndCloseWithoutLeaks) {
    size_t master = host.LiveBlocks();
    EXPECT_EQ(Call(kPlugTerminate), kPluginOK); // no pass
    EXPECT_EQ(host.CountOf("DisposePtr"), 0u);
    ASSERT_EQ(Call(kPlugInitialize), kPluginOK);
    void* pass = params.clientData;
    gMasterConfig->sliders[1] = 42;
    ASSERT_EQ(Call(kPlugInitialize), kPluginOK); // reuses the pass, replaces the copy
    EXPECT_EQ(params.clientData, pass);
    EXPECT_EQ(Pass()->effectConfig->sliders[1], 42);
    EXPECT_EQ(host.LiveBlocks(), master + 2) << "the first copy is freed";
    EXPECT_EQ(Call(kPlugTerminate), kPluginOK);
    EXPECT_EQ(params.clientData, nullptr);
    EXPECT_EQ(host.LiveBlocks(), master);

    host.failures["GetFilterInfo"] = kPluginFailed; // its result, the pass stays open
    EXPECT_EQ(Call(kPlugInitialize), kPluginFailed);
    EXPECT_NE(params.clientData, nullptr);
    Call(kPlugTerminate);
    host.failures.clear();

    host.failNewPtrClearFrom = int(host.CountOf("NewPtrClear")) + 1; // the pass record works, its copy not
    EXPECT_EQ(Call(kPlugInitialize), kPluginOutOfMemory);
    EXPECT_EQ(params.clientData, nullptr);
    EXPECT_EQ(host.LiveBlocks(), master);
    host.failNewPtrClearFrom = -1;
}

TEST_F(RenderPass, PlaceholderRunsAPassOfItsOwn) {
    ASSERT_EQ(Call(kPlugInitialize), kPluginOK);
    void* callerPass = params.clientData;
    PluginDataPtr callerCopy = Pass()->effectConfig;
    size_t blocks = host.LiveBlocks();
    params.getInfo.bestThumbOffset = 4;
    EXPECT_EQ(Call(kPlugFilePlaceHolder), kPluginOK);
    EXPECT_EQ(params.clientData, callerPass);
    EXPECT_EQ(Pass()->effectConfig, callerCopy);
    EXPECT_EQ(host.LiveBlocks(), blocks);
    EXPECT_EQ(host.CallsOf("GetFrame").back().args[0], 104);
    ExpectWholeOutput(4, -1);
    EXPECT_EQ(Frame(5), kPluginOK); // the caller's pass still works
    // A pass that opens but fails is closed all the same.
    host.failures["GetFilterInfo"] = kPluginTryAgainLater;
    EXPECT_EQ(Call(kPlugFilePlaceHolder), kPluginTryAgainLater);
    EXPECT_EQ(host.LiveBlocks(), blocks);
}

TEST_F(RenderPass, FrameRectReachingOutsideTheOutputIsClipped) {
    ASSERT_EQ(Call(kPlugInitialize), kPluginOK);
    params.frameRect = Rect{-5, -7, 40, 50};
    ASSERT_EQ(Frame(0), kPluginOK);
    ExpectWholeOutput(0, -1);
}

// Frames that share the output's memory, or that the pass cannot process: the output gets
// what processing a copy of the source gives, and only inside frameRect and the clip.
TEST_F(RenderPass, SourcesInTheOutputAndClippedOutputs) {
    gMasterConfig->startRel = SetRelRect(0.25, 0.2, 0.75, 0.9);
    gMasterConfig->sliders[1] = 30;
    ASSERT_EQ(Call(kPlugInitialize), kPluginOK);
    const Rect& fr = params.frameRect;
    Rect area = Rel2Rect(gMasterConfig->startRel, Rect{0, 0, 20, 32});
    struct Case {
        int dx, dy;        // where the source lies in the output
        SInt16 originTop;  // its bounds' top (not 0: the pass cannot process it)
        SInt16 clipBottom; // the output's clip rectangle's bottom
    } cases[] = {{3, 4, 0, 30}, {0, 0, 0, 30}, {7, 8, 0, 30}, {0, 0, 5, 30}, {-1, 0, 0, 14}};
    PixMapHandle pm = GetGWorldPixMap(output);
    const auto scriptedGetFrame = host.procs.GetFrame;
    for (const Case& c : cases) {
        testhost::ScriptedHost::FillPattern(7, output);
        std::vector<Pixel> before(30 * 40), source(20 * 32);
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x)
                before[size_t(y * 40 + x)] = At(output, x, y);
        lgHandedOut = nullptr;
        if (c.dx >= 0) {
            Rect bounds{c.originTop, 0, SInt16(c.originTop + 20), 32};
            ASSERT_EQ(NewGWorldFromPtr(&lgHandedOut, k32ARGBPixelFormat, &bounds, nullptr, nullptr, 0,
                                       GetPixBaseAddr(pm) + c.dy * GetPixRowBytes(pm) + 4 * c.dx,
                                       GetPixRowBytes(pm)),
                      noErr);
            host.procs.GetFrame = HandOutFrame;
        }
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 32; ++x)
                source[size_t(y * 32 + x)] = c.dx >= 0 ? before[size_t((y + c.dy) * 40 + x + c.dx)]
                                                       : testhost::ScriptedHost::PatternPixel(100, x, y);
        Rect clip{0, 0, c.clipBottom, 40};
        SetGWorld(output, nullptr);
        ClipRect(&clip);
        ASSERT_EQ(Frame(0), kPluginOK);
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x) {
                Pixel want = before[size_t(y * 40 + x)];
                int fx = x - fr.left, fy = y - fr.top;
                if (x >= fr.left && x < fr.right && y >= fr.top &&
                    y < std::min<int>(fr.bottom, c.clipBottom)) {
                    want = source[size_t(fy * 32 + fx)];
                    if (c.originTop == 0 && fx >= area.left && fx < area.right && fy >= area.top &&
                        fy < area.bottom)
                        want = Pixel{255, oracle::Channel(want[1], 30), oracle::Channel(want[2], 100),
                                     oracle::Channel(want[3], 100)};
                }
                ASSERT_EQ(At(output, x, y), want) << c.dx << "," << c.dy << " at " << x << "," << y;
            }
        if (lgHandedOut) DisposeGWorld(lgHandedOut);
        host.procs.GetFrame = scriptedGetFrame;
    }
    Rect open{-32768, -32768, 32767, 32767};
    ClipRect(&open);
}

TEST_F(RenderPass, GetFrameIntoGWScalesTheHostFrame) {
    GWorldPtr gw = AllocateGWorld(16, 8);
    params.startFrame = 0;
    host.ClearCalls();
    EXPECT_EQ(GetFrameIntoGW(gw, &params, -1, 0), -1);
    EXPECT_EQ(host.calls.size(), 0u);
    params.startFrame = 10;
    EXPECT_EQ(GetFrameIntoGW(gw, &params, 2, 0), kPluginOK);
    EXPECT_EQ(host.CallsOf("GetFrame")[0].args[0], 12);
    EXPECT_EQ(At(gw, 5, 3), testhost::ScriptedHost::PatternPixel(12, 5, 3));
    EXPECT_EQ(host.OutstandingFrames(), 0u);
    // A failed fetch is reported as such, also when the host handed out a frame and cookie with it.
    host.procs.GetFrame = [](void*, SInt32, GWorldPtr* outFrame, SInt16, SInt16, HYRefDVQuality, SInt16*,
                             void** outCookie) -> HYPluginResult {
        *outFrame = lgHandedOut;
        *outCookie = reinterpret_cast<void*>(7);
        return kPluginCantGetNeededFrame;
    };
    lgHandedOut = output;
    host.ClearCalls();
    EXPECT_EQ(GetFrameIntoGW(gw, &params, 2, 0), kPluginCantGetNeededFrame);
    EXPECT_EQ(host.CallsOf("ReleaseFrame").at(0).args[0], 7);
    DisposeGWorld(gw);
}

TEST_F(RenderPass, DialogPreviewUsesTheDialogsConfiguration) {
    PluginDataRec cfg = *gMasterConfig;
    cfg.startRel = SetRelRect(0.0, 0.0, 0.5, 1.0);
    gConfigWorkSpace.theConfig = &cfg;
    GWorldPtr src = AllocateGWorld(8, 4), dst = AllocateGWorld(8, 4);
    testhost::ScriptedHost::FillPattern(3, src);
    CallPixelEffect(src, dst);
    for (int x = 0; x < 8; ++x) {
        Pixel raw = testhost::ScriptedHost::PatternPixel(3, x, 2);
        Pixel want = x < 4 ? Pixel{255, UInt8(255 - raw[1]), UInt8(255 - raw[2]), UInt8(255 - raw[3])} : raw;
        EXPECT_EQ(At(dst, x, 2), want) << x;
    }
    gConfigWorkSpace.theConfig = nullptr;
    DisposeGWorld(src);
    DisposeGWorld(dst);
}

TEST_F(RenderPass, EffectWithoutConfigurationStops) {
    SInt16 opacity = 0;
    EXPECT_EXIT(DoEffect(nullptr, &params, output, output, 0, 0, 0, 1, 0, 0, 0, opacity),
                testing::ExitedWithCode(70),
                "uninited theData in Plugin Effect master proc. need to call init before calling me");
}

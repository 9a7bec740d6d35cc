// The plug-in under hosts that allocate its blocks in three ways: through the toolbox, with
// plain calloc, and right after an inaccessible page (a read in front of a block faults).
// Every host call the plug-in has runs in each: the description, a render pass with fades,
// the placeholder and the configuration button.
#include "ScriptedHost.h"
#include "TestPaths.h"

#include "host/EffectLayer.h"

#include "dialog/DialogSupport.h"

#include <cstring>

namespace {

using testhost::HostMemory;

class HostMemoryModes : public testing::TestWithParam<HostMemory> {
  protected:
    void SetUp() override {
        dialogtest::LoadPluginBundle();
        ASSERT_TRUE(host.OpenBundleResources(testpaths::Bundle()));
        UnloadEffectLayer(&host.procs);
        Rect bounds{0, 0, 12, 16};
        ASSERT_EQ(NewGWorld(&output, 32, &bounds, nullptr, nullptr, 0), noErr);
    }
    void TearDown() override {
        UnloadEffectLayer(&host.procs);
        DisposeGWorld(output);
        EXPECT_EQ(host.LiveBlocks(), 0u);
        EXPECT_EQ(host.StrayDisposals(), 0u);
    }
    int Call(HYPluginParams& params, HYPluginSelector selector) {
        params.selector = selector;
        return PluginMain(selector, &params);
    }
    HYPluginParams FrameParams() {
        HYPluginParams params = host.MakeParams(kPlugInitialize);
        params.frame = output;
        params.frameRect = Rect{2, 4, 10, 14};
        params.startFrame = 40;
        params.frameCount = 6;
        return params;
    }
    UInt8 RedAt(int x, int y) const { return PixelOf(output, x, y).red; }

    testhost::ScriptedHost host{GetParam()};
    GWorldPtr output = nullptr;
};

TEST_P(HostMemoryModes, EveryHostCallWorksOnTheHostsBlocks) {
    HYPluginParams info = host.MakeParams(kPlugGetInfo);
    ASSERT_EQ(Call(info, kPlugGetInfo), kPluginOK);
    EXPECT_EQ(info.getInfo.pluginType, kPluginFilterType);
    EXPECT_GT(std::strlen(info.getInfo3.buttonTitle), 0u);
    ASSERT_EQ(host.LiveBlocks(), 1u); // the master record

    // A render pass with fades in and out; with the default configuration the frame inverts.
    host.filterInfo.fadeInFrames = 2;
    host.filterInfo.fadeOutFrames = 2;
    HYPluginParams pass = FrameParams();
    ASSERT_EQ(Call(pass, kPlugInitialize), kPluginOK);
    for (SInt32 f = 0; f < 6; ++f) {
        pass.renderFrame = f;
        ASSERT_EQ(Call(pass, kPlugDoFrame), kPluginOK) << f;
    }
    const UInt8 raw = testhost::ScriptedHost::PatternPixel(45, 3, 2)[1];
    EXPECT_EQ(RedAt(7, 4), testhost::ScriptedHost::BlendByte(raw, UInt8(255 - raw), 127));
    EXPECT_EQ(host.CountOf("Blit"), 3u); // frames 0, 1 and 5
    EXPECT_EQ(Call(pass, kPlugTerminate), kPluginOK);

    HYPluginParams placeholder = FrameParams();
    placeholder.getInfo.bestThumbOffset = 3;
    ASSERT_EQ(Call(placeholder, kPlugFilePlaceHolder), kPluginOK);
    EXPECT_EQ(RedAt(7, 4), UInt8(255 - testhost::ScriptedHost::PatternPixel(43, 3, 2)[1]));
    EXPECT_EQ(host.LiveBlocks(), 1u);

    HYPluginParams click = host.MakeParams(kPlugCustomButtonClick);
    dialogtest::WithScript("expect value Sldr 1 100\nkey return\n",
                           [&] { EXPECT_EQ(Call(click, kPlugCustomButtonClick), kPluginOK); });
    EXPECT_EQ(host.OutstandingFrames(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Allocators, HostMemoryModes,
                         testing::Values(HostMemory::kToolbox, HostMemory::kCalloc, HostMemory::kGuardPage),
                         [](const testing::TestParamInfo<HostMemory>& info) {
                             return std::string(info.param == HostMemory::kToolbox  ? "Toolbox"
                                                : info.param == HostMemory::kCalloc ? "Calloc"
                                                                                    : "GuardPage");
                         });

} // namespace

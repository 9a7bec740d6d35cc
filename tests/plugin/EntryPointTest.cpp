#include "host/EffectLayer.h"
#include "ScriptedHost.h"

#include "toolbox/MacMemory.h"

#include <gtest/gtest.h>

namespace {

// Each test starts with the plug-in as freshly loaded.
class EntryPoint : public testing::Test {
  protected:
    void SetUp() override { UnloadEffectLayer(&host.procs); }
    void TearDown() override { UnloadEffectLayer(&host.procs); }
    testhost::ScriptedHost host;
};

} // namespace

// No block, or a host older than version 4, is refused before anything is made; any
// selector of a good block, handled or not, succeeds and makes the master record.
TEST_F(EntryPoint, BadBlocksAreRefusedAndEverySelectorElseSucceeds) {
    EXPECT_EQ(PluginMain(0, nullptr), kPluginBadParams);
    HYPluginParams params = host.MakeParams(kPlugGetInfo);
    for (SInt16 version : {SInt16(3), SInt16(0), SInt16(-5)}) {
        params.interfaceVersion = version;
        EXPECT_EQ(PluginMain(0, &params), kPluginAppIsTooOld) << version;
    }
    EXPECT_EQ(gMasterConfig, nullptr);
    EXPECT_EQ(host.CountOf("NewPtrClear"), 0u);
    for (HYPluginSelector selector : {HYPluginSelector(kPlugDrawIcon), HYPluginSelector(kPlugDrawThumbNail),
                                      HYPluginSelector(kPlugCallOnceWithInitAndTerminate),
                                      HYPluginSelector(0), HYPluginSelector(10), HYPluginSelector(255)}) {
        UnloadEffectLayer(&host.procs);
        params = host.MakeParams(selector);
        EXPECT_EQ(PluginMain(0, &params), kPluginOK) << int(selector);
        EXPECT_NE(gMasterConfig, nullptr);
    }
}

TEST_F(EntryPoint, MasterRecordIsMadeOnceWithTheRecordSize) {
    HYPluginParams params = host.MakeParams(kPlugDrawIcon);
    PluginMain(0, &params);
    PluginDataPtr first = gMasterConfig;
    PluginMain(0, &params);
    EXPECT_EQ(gMasterConfig, first);
    ASSERT_EQ(host.CountOf("NewPtrClear"), 1u);
    EXPECT_EQ(host.CallsOf("NewPtrClear")[0].args[0], std::int64_t(sizeof(PluginDataRec)));
    EXPECT_EQ(GetPtrSize(reinterpret_cast<Ptr>(first)), Size(sizeof(PluginDataRec)));
    EXPECT_TRUE(gEffectLayerInited);
}

TEST_F(EntryPoint, FailedMasterAllocationEndsInTheAllocationAlert) {
    host.failNewPtrClearFrom = 0;
    HYPluginParams params = host.MakeParams(kPlugGetInfo);
    EXPECT_EXIT(PluginMain(0, &params), testing::ExitedWithCode(70),
                "Assertion Failure\n  Assertion failed in: Unable to allocate new data structure\n");
}

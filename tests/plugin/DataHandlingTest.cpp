#include "model/DataHandling.h"
#include "dialog/configdlghandler.h"

#include "PaddedBuffer.h"

#include "toolbox/MacMemory.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace {

CGImageRef MakeImage() {
    return MakeImage(2, 2, PixRec{0x42, 0x42, 0x42, 0x42});
}

void ExpectWholeFrame(const RelRect& r) {
    EXPECT_EQ((std::vector<double>{r.left, r.right, r.top, r.bottom}), (std::vector<double>{0, 1, 0, 1}));
}

struct Record {
    PluginDataPtr p = nullptr;
    Record() { pNewConfig(p); }
    ~Record() { pDestroyConfig(p); }
};

} // namespace

TEST(DataHandling, PartialResetKeepsImagesAndFrameEndColor) {
    Record rec;
    CGImageRef original = MakeImage(), rendered = MakeImage();
    PluginDataRec& r = *rec.p;
    r.theOriginalImage = original;
    r.theRendered = rendered;
    r.frameEndColor = {1, 2, 3};
    r.startRel = {0.2, 0.4, 0.1, 0.3};
    r.sliders[5] = 77;
    r.keepProps = true;
    r.mediaType = 3;
    ResetConfig(rec.p, false);
    EXPECT_EQ(r.theOriginalImage, original);
    EXPECT_EQ(r.theRendered, rendered);
    EXPECT_EQ(r.frameEndColor.blue, 3);
    ExpectWholeFrame(r.startRel);
    EXPECT_EQ((std::vector<int>{r.sliders[5], r.keepProps, r.mediaType}), (std::vector<int>{0, 0, 1}));
    ResetConfig(rec.p, true);
    EXPECT_EQ(r.theOriginalImage, nullptr);
    EXPECT_EQ(r.theRendered, nullptr);
    CGImageRelease(original);
    CGImageRelease(rendered);
}

TEST(DataHandling, CopyOwnsItsRenderedImageNeverSharesTheOriginalAndSkipsANilSide) {
    Record source, dest;
    InitPluginData(source.p);
    source.p->sliders[2] = 42;
    source.p->theOriginalImage = MakeImage();
    source.p->theRendered = MakeImage();
    pCopyConfig(source.p, dest.p);
    EXPECT_EQ(dest.p->sliders[2], 42);
    EXPECT_EQ(dest.p->theOriginalImage, nullptr);
    ASSERT_NE(dest.p->theRendered, nullptr);
    EXPECT_NE(dest.p->theRendered, source.p->theRendered);
    CGImageRelease(source.p->theRendered); // the copy must outlive the source's image
    EXPECT_EQ(CGImageGetWidth(dest.p->theRendered), 2u);
    pUncopyConfig(dest.p);
    CGImageRelease(source.p->theOriginalImage);

    source.p->theRendered = nullptr;
    source.p->theOriginalImage = nullptr;
    pCopyConfig(source.p, dest.p);
    EXPECT_EQ(dest.p->theRendered, nullptr);
    source.p->sliders[2] = 7;
    pCopyConfig(nullptr, dest.p);
    pCopyConfig(source.p, nullptr);
    EXPECT_EQ(dest.p->sliders[2], 42);
}

// A host's NewPtrClear may hand out blocks that do not know their size (calloc's, copied
// unchecked; the host memory tests run every call on them), while a block that knows its
// size must hold one record.
TEST(DataHandlingDeathTest, ABlockOfAnotherSizeEndsTheProcess) {
    Record rec;
    auto* host = static_cast<PluginDataPtr>(std::calloc(1, sizeof(PluginDataRec)));
    for (Size size : {Size(sizeof(PluginDataRec) + 8), Size(sizeof(PluginDataRec) - 8)}) {
        auto other = reinterpret_cast<PluginDataPtr>(NewPtrClear(size));
        for (PluginDataPtr known : {rec.p, host}) {
            EXPECT_EXIT(pCopyConfig(known, other), testing::ExitedWithCode(70),
                        "Non-Matching Blocks\n  The Size of Source and Dest do not match\n");
            EXPECT_EXIT(pCopyConfig(other, known), testing::ExitedWithCode(70), "Non-Matching Blocks");
        }
        DisposePtr(reinterpret_cast<Ptr>(other));
    }
    std::free(host);
}

TEST(DataHandlingDeathTest, NilRecordsEndInTheirAlerts) {
    EXPECT_EXIT(InitPluginData(nullptr), testing::ExitedWithCode(70),
                "Assertion failed in: Nil theConfig on InitPluginData");
    EXPECT_EXIT(pUncopyConfig(nullptr), testing::ExitedWithCode(70),
                "Assertion failed in: Nil data in pUncopyConfig");
}

TEST(DataHandling, CurrentRelIsAlwaysTheStartRectangle) {
    Record rec;
    InitPluginData(rec.p);
    gConfigWorkSpace.theConfig = rec.p;
    gConfigWorkSpace.activeRel = 2;
    RelRect r = {0.1, 0.9, 0.2, 0.8};
    PutCurrentRel(r);
    EXPECT_EQ(rec.p->startRel.left, 0.1);
    EXPECT_EQ(rec.p->startRel.bottom, 0.8);
    ExpectWholeFrame(rec.p->endRel);
    EXPECT_EQ(GetCurrentRel().right, 0.9);
    gConfigWorkSpace.theConfig = nullptr;
}

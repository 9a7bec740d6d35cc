// The clip frame control: which handle a click grabs, how corner and move drags change the
// rectangle, and what the control draws.
#include "DialogSupport.h"

#include "dialog/configdlghandler.h"
#include "model/DataHandling.h"
#include "model/relRects.h"
#include "render/pixelBuffers.h"

using namespace dialogtest;

namespace {

// Window "clip": the control at (10, 10), 200 x 100, showing a green preview.
class ClipControl : public ControlsWindow {
  protected:
    PluginDataRec config{};
    GWorldPtr preview = AllocateGWorld(40, 20);

    void SetUp() override {
        windowName = "clip";
        ControlsWindow::SetUp();
        ResetConfig(&config, true);
        ClearGW(preview, SetRGBColor(0, SInt16(0xFF00), 0));
        gConfigWorkSpace = PluginWorkSpace{};
        gConfigWorkSpace.theConfig = &config;
        gConfigWorkSpace.theFXClip = preview;
        gConfigWorkSpace.activeRel = 1;
        gConfigWorkSpace.theWindow = window;
        gConfigWorkSpace.theFrameCtrl = Control("Clip", 1);
    }
    void TearDown() override {
        ControlsWindow::TearDown();
        DisposeGWorld(preview);
        gConfigWorkSpace = PluginWorkSpace{};
    }
};

const Px kGreen{255, 0, 255, 0}, kRed{255, 255, 0, 0};

Rect R(short left, short top, short right, short bottom) {
    Rect r;
    SetRect(&r, left, top, right, bottom);
    return r;
}
Point P(short h, short v) {
    return Point{v, h};
}

} // namespace

TEST(ClipHandles, HandleAreasReachSixPixelsOutAndTheEarlierCornerWins) {
    const Rect r = R(100, 100, 200, 150);
    struct Case {
        short h, v;
        SInt16 part;
    };
    for (const Case c : {Case{94, 94, 1}, Case{93, 100, 0}, Case{106, 100, 5}, Case{105, 105, 1},
                         Case{205, 94, 2}, Case{206, 100, 0}, Case{94, 155, 3}, Case{205, 155, 4},
                         Case{150, 120, 5}, Case{200, 120, 0}, Case{150, 90, 0}})
        EXPECT_EQ(IsHandleHit(r, P(c.h, c.v)), c.part) << c.h << "," << c.v;
    // Ten pixels wide: between the top corners both areas hold the point; the first wins.
    EXPECT_EQ(IsHandleHit(R(100, 100, 110, 150), P(105, 100)), 1);
    EXPECT_EQ(IsHandleHit(R(100, 100, 110, 108), P(105, 104)), 1);
}

TEST(ClipDrags, CornersFlipOptionGrowsAboutTheCentreAndShiftKeepsTheProportion) {
    PluginDataRec config{};
    ResetConfig(&config, true);
    gConfigWorkSpace = PluginWorkSpace{};
    gConfigWorkSpace.theConfig = &config;
    const Rect frame = R(0, 0, 400, 400);
    const RelRect origRel = SetRelRect(0.25, 0.25, 0.75, 0.5); // 200 x 100 at (100, 100)
    const Rect orig = R(100, 100, 300, 200);
    const struct {
        const char* what;
        SInt16 corner;
        Point from, to;
        UInt32 modifiers;
        Rect want;
    } cases[] = {
        {"bottom-right dragged above the top edge", 4, P(300, 200), P(320, 50), 0, R(100, 50, 320, 100)},
        {"option: both sides move", 4, P(300, 200), P(310, 205), optionKey, R(90, 95, 310, 205)},
        {"shift: 2:1 kept, the height follows the width", 4, P(300, 200), P(340, 260), shiftKey,
         R(100, 100, 340, 220)},
        {"top-left against the fixed bottom-right", 1, P(100, 100), P(80, 90), 0, R(80, 90, 300, 200)},
        {"top-right against the fixed bottom-left", 2, P(300, 100), P(320, 90), 0, R(100, 90, 320, 200)},
        {"not a corner: unchanged", 5, P(100, 100), P(80, 90), 0, orig},
    };
    for (const auto& c : cases) {
        Rect r = orig;
        DragCorner(c.corner, r, c.from, c.to, c.modifiers, frame, origRel);
        EXPECT_EQ(r, c.want) << c.what;
    }
    Rect r = orig;
    DragRect(r, P(10, 10), P(400, 5), shiftKey); // a move is not kept inside anything
    EXPECT_EQ(r, R(490, 95, 690, 195));
    gConfigWorkSpace = PluginWorkSpace{};
}

TEST_F(ClipControl, DrawsThePreviewTheOutlineTheHandlesAndTheBorder) {
    config.startRel = SetRelRect(0.25, 0.25, 0.75, 0.75); // (60, 35) to (160, 85)
    Draw1Control(Control("Clip", 1));
    EXPECT_EQ(At(30, 60), kGreen); // the preview, scaled
    EXPECT_EQ(At(10, 10), kBlack); // the control's border
    EXPECT_EQ(At(209, 109), kBlack);
    EXPECT_EQ(At(110, 35), kRed); // the outline in frameStartColor
    EXPECT_EQ(At(60, 60), kRed);
    EXPECT_EQ(At(110, 60), kGreen);
    // The handle at (60, 35): rings black, white, black from the outside in.
    EXPECT_EQ(At(60, 29), kBlack);
    EXPECT_EQ(At(60, 30), kWhite);
    EXPECT_EQ(At(60, 31), kBlack);
}

TEST_F(ClipControl, AnOutlinePastTheEdgeIsCutAtTheBorderAndADisabledControlDrawsNothing) {
    const Px background = At(5, 5);
    config.startRel = SetRelRect(0.5, 0.25, 1.5, 0.75); // right edge at 310
    Draw1Control(Control("Clip", 1));
    EXPECT_EQ(At(150, 35), kRed);
    EXPECT_EQ(At(209, 35), kBlack);
    EXPECT_EQ(At(215, 35), background);
    EXPECT_EQ(At(220, 60), background);

    ClearGW(preview, SetRGBColor(0, 0, SInt16(0xFF00)));
    DisableControl(Control("Clip", 1));
    Draw1Control(Control("Clip", 1));
    EXPECT_EQ(At(30, 60), kGreen); // not redrawn with the blue preview
}

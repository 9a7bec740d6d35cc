// The configuration dialog from the host's button, driven through the script source: the
// window of the standard, live sliders, scrubbing, a change of standard, OK and Cancel.
#include "ScriptedHost.h"
#include "TestPaths.h"

#include "dialog/configdlghandler.h"
#include "host/EffectLayer.h"
#include "model/DataHandling.h"
#include "render/lineEffect.h"
#include "settings/prefsloader.h"

#include "toolbox/Quartz.h"

#include "DialogSupport.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

// NTSC window: preview at (20, 20) 720 x 480; sliders 1..3 centred on rows 80, 134, 188 from 764 to 1014.
constexpr int kSliderLeft = 764;
int SliderRow(int i) {
    return 80 + 54 * (i - 1);
}

class ConfigDialog : public testing::Test {
  protected:
    testhost::ScriptedHost host;

    void SetUp() override {
        dialogtest::LoadPluginBundle();
        UnloadEffectLayer(&host.procs);
        // Each test starts from the defaults, not from what an earlier test saved.
        std::filesystem::remove(std::filesystem::path(getenv("XDG_CONFIG_HOME")) / kSettingsFileName);
        HYPluginParams params = host.MakeParams(kPlugGetInfo);
        ASSERT_EQ(PluginMain(kPlugGetInfo, &params), kPluginOK); // the master record
        ASSERT_NE(gMasterConfig, nullptr);
    }
    void TearDown() override { UnloadEffectLayer(&host.procs); }

    // Presses the plug-in's button with the script as the user's input; returns stderr.
    std::string Click(const std::string& script, SInt32 renderFrame = 0) {
        HYPluginParams params = host.MakeParams(kPlugCustomButtonClick);
        params.renderFrame = renderFrame;
        return dialogtest::WithScript(
            script, [&] { EXPECT_EQ(PluginMain(kPlugCustomButtonClick, &params), kPluginOK); });
    }

    // The configuration in the settings file.
    PluginDataRec Saved() {
        PluginDataRec rec{};
        ResetConfig(&rec, true);
        ReadConfig(&rec);
        return rec;
    }
};

std::string DragSlider(int i, int toH) {
    return "drag " + std::to_string(kSliderLeft + 2) + " " + std::to_string(SliderRow(i)) + " " +
           std::to_string(toH) + " " + std::to_string(SliderRow(i)) + "\n";
}

TEST_F(ConfigDialog, FetchesTheClickedFrameAndScrubsWithinTheClip) {
    gMostRecentStartFrame = 300;
    gMostRecentFrameCount = 50;
    Click("expect value ClpS 1 0\n"
          "expect text ClpM 1 0/49\n"
          "press Revi 1\n" // at 0: nothing
          "expect text ClpM 1 0/49\n"
          "press Adva 1\n"
          "expect value ClpS 1 1\n"
          "expect text ClpM 1 1/49\n"
          "key escape\n",
          7);
    const auto fetches = host.CallsOf("GetFrame");
    ASSERT_EQ(fetches.size(), 2u);
    EXPECT_EQ(fetches[0].args[0], 307);
    EXPECT_EQ(fetches[0].args[3], kDVHighQuality);
    EXPECT_EQ(fetches[1].args[0], 308); // clip position 1 = minFrameIndex 307 + 1
    EXPECT_EQ(host.OutstandingFrames(), 0u);

    // Frame numbers past the 32-bit range are asked for as the last one there is.
    host.ClearCalls();
    gMostRecentStartFrame = INT32_MAX - 2;
    Click("press Adva 1\nkey escape\n", 7);
    for (const auto& fetch : host.CallsOf("GetFrame"))
        EXPECT_EQ(fetch.args[0], INT32_MAX);

    // A clip of one frame cannot be stepped.
    host.ClearCalls();
    gMostRecentFrameCount = 1;
    Click("expect text ClpM 1 0/0\npress Adva 1\npress Revi 1\nexpect text ClpM 1 0/0\nkey escape\n");
    EXPECT_EQ(host.CountOf("GetFrame"), 1u);
}

TEST_F(ConfigDialog, StandardsChooseTheWindowAndTheFrameSize) {
    struct Case {
        SInt16 media;
        int width, height;
        const char* window;
    };
    for (const Case c : {Case{0, 720, 480, "configNTSC"}, Case{7, 720, 480, "configNTSC"},
                         Case{2, 720, 576, "configPAL"}, Case{3, 960, 540, "configHD"}}) {
        gMasterConfig->mediaType = c.media;
        host.ClearCalls();
        Click("key escape\n");
        const auto fetch = host.CallsOf("GetFrame").at(0);
        EXPECT_EQ(fetch.args[1], c.width) << c.media;
        EXPECT_EQ(fetch.args[2], c.height) << c.media;
        EXPECT_STREQ(ConfigWindowName(c.media), c.window);
        EXPECT_EQ(gMasterConfig->mediaType, c.media); // cancelled
    }
}

// Sliders edit live, and a change of standard reopens the dialog with the edits; Cancel puts
// everything back, OK saves it.
TEST_F(ConfigDialog, EditsAndAChangeOfStandardAreSavedByOKAndUndoneByCancel) {
    gMostRecentFrameCount = 10;
    const std::string script = DragSlider(1, kSliderLeft) + "expect text Lgnd 1 0%\n" +
                               "press Adva 1\npress Adva 1\n"
                               "choose Medi 1 1\n" // the same standard: stays open
                               "expect value Sldr 1 0\n"
                               "choose Medi 1 3\n"
                               "expect value Medi 1 3\n"
                               "expect value Sldr 1 0\n"
                               "expect text Lgnd 1 0%\n"
                               "expect text ClpM 1 0/9\n"; // Adva leaves the slider's own position
    Click(script + "key escape\n");
    EXPECT_EQ(gMasterConfig->mediaType, kMediaNTSC);
    EXPECT_EQ(gMasterConfig->sliders[1], 100);
    EXPECT_EQ(Saved().sliders[1], 100);

    Click(script + "key return\n");
    EXPECT_EQ(gMasterConfig->mediaType, kMediaHD);
    EXPECT_EQ(gMasterConfig->sliders[1], 0);
    EXPECT_EQ(Saved().mediaType, kMediaHD);
    EXPECT_EQ(Saved().sliders[1], 0);
    EXPECT_EQ(Saved().sliders[2], 100);
}

TEST_F(ConfigDialog, ResetKeepsTheStandardAndShowsTheRecordsKeepAndMethod) {
    gMasterConfig->mediaType = kMediaPAL;
    gMasterConfig->sliders[2] = 40;
    gMasterConfig->keepProps = true;
    gMasterConfig->method = 2;
    gMasterConfig->startRel = RelRect{0.25, 0.75, 0.25, 0.75};
    Click("expect value Keep 1 1\n"
          "expect value Meth 1 2\n"
          "expect text Lgnd 2 40%\n"
          "press Rset 1\n"
          "expect value Keep 1 0\n"
          "expect value Meth 1 1\n"
          "expect text Lgnd 2 100%\n"
          "expect value Medi 1 2\n"
          "key return\n");
    EXPECT_EQ(gMasterConfig->mediaType, kMediaPAL);
    EXPECT_EQ(gMasterConfig->sliders[2], 100);
    EXPECT_FALSE(gMasterConfig->keepProps);
    EXPECT_EQ(gMasterConfig->startRel.left, 0.0);
    EXPECT_EQ(gMasterConfig->startRel.right, 1.0);
}

// A foreign or hand-edited file's method outside the pop-up's 1..3: the record takes the
// value the pop-up shows as soon as the dialog opens, and OK stores that.
TEST_F(ConfigDialog, AStoredMethodOutsideThePopupsRangeIsBroughtIntoIt) {
    for (const auto& [stored, shown] : {std::pair<SInt16, int>{0, 1}, {7, 3}}) {
        gMasterConfig->method = stored;
        Click("expect value Meth 1 " + std::to_string(shown) + "\nkey return\n");
        EXPECT_EQ(gMasterConfig->method, shown) << stored;
        EXPECT_EQ(Saved().method, shown) << stored;
    }
}

// NTSC preview: (20, 20) to (740, 500), so a rectangle of 0.25..0.75 spans (200, 140) to (560, 380).
TEST_F(ConfigDialog, DraggingInThePreviewResizesTheRectangleLive) {
    gMasterConfig->startRel = RelRect{0.25, 0.75, 0.25, 0.75};
    // Bottom-right handle grabbed 2 pixels inside, dragged by (-60, -100).
    Click("drag 558 378 498 278\nkey return\n");
    EXPECT_DOUBLE_EQ(gMasterConfig->startRel.right, 480.0 / 720);
    EXPECT_DOUBLE_EQ(gMasterConfig->startRel.bottom, 260.0 / 480);
    EXPECT_DOUBLE_EQ(gMasterConfig->startRel.left, 0.25);
    EXPECT_EQ(Saved().startRel.right, gMasterConfig->startRel.right);

    // Keep proportions: a corner drag keeps the preview's shape.
    gMasterConfig->startRel = RelRect{0.25, 0.75, 0.25, 0.75};
    Click("press Keep 1\ndrag 558 378 600 300\nkey return\n");
    EXPECT_TRUE(gMasterConfig->keepProps);
    const double w = (gMasterConfig->startRel.right - gMasterConfig->startRel.left) * 720;
    const double h = (gMasterConfig->startRel.bottom - gMasterConfig->startRel.top) * 480;
    EXPECT_NEAR(w / h, 720.0 / 480, 0.01);
    EXPECT_EQ(gMasterConfig->startRel.left, 0.25);
}

// Help hands the bundle's manual to xdg-open (a stand-in records what it was given); what
// fails is reported, and the dialog stays open.
TEST_F(ConfigDialog, HelpOpensTheManualAndReportsWhatFails) {
    const std::string dir = testing::TempDir() + "opener", oldPath = getenv("PATH");
    const std::string manual = testpaths::Bundle() + "/Contents/Resources/manual.pdf",
                      aside = manual + ".aside";
    std::filesystem::create_directories(dir);
    setenv("PATH", (dir + ":" + oldPath).c_str(), 1);
    const struct {
        int status;
        bool inBundle;
        const char* report;
    } cases[] = {
        {0, true, nullptr}, {4, true, "LSOpen failed with 4"}, {0, false, "Cannot locate manual in bundle"}};
    for (const auto& c : cases) {
        std::ofstream(dir + "/xdg-open")
            << "#!/bin/sh\nprintf %s \"$1\" > '" << dir << "/opened'\nexit " << c.status << "\n";
        std::filesystem::permissions(dir + "/xdg-open", std::filesystem::perms::owner_all);
        if (!c.inBundle) std::filesystem::rename(manual, aside);
        const std::string err = Click(std::string("press Help 1\n") + (c.report ? "key return\n" : "") +
                                      "expect value Sldr 1 100\nkey escape\n");
        if (!c.inBundle) std::filesystem::rename(aside, manual);
        EXPECT_EQ(err.find("Alert") != std::string::npos, c.report != nullptr) << err;
        std::ifstream opened(dir + "/opened");
        const std::string path(std::istreambuf_iterator<char>(opened), {});
        EXPECT_TRUE(c.report ? err.find(c.report) != std::string::npos
                             : path == std::filesystem::canonical(manual).string())
            << err << path;
    }
    setenv("PATH", oldPath.c_str(), 1);
}

OSStatus SendCommand(UInt32 commandID) {
    return testsupport::SendCommandTo(TheDialogHandler, commandID);
}

// Reset works and is left to the next handler as well; so is anything the dialog does not know.
TEST_F(ConfigDialog, ResetAndUnknownCommandsAreLeftToTheNextHandler) {
    gConfigWorkSpace.theConfig = gMasterConfig;
    gMasterConfig->sliders[1] = 12;
    EXPECT_EQ(SendCommand(FourCC("Zzzz")), eventNotHandledErr);
    EXPECT_EQ(SendCommand(0x6F6B2000), eventNotHandledErr); // o, k, one space
    EXPECT_EQ(gMasterConfig->sliders[1], 12);
    EXPECT_EQ(SendCommand(FourCC("Rset")), eventNotHandledErr);
    EXPECT_EQ(gMasterConfig->sliders[1], 100);
    gMasterConfig->startRel = RelRect{0.1, 0.2, 0.3, 0.4};
    EXPECT_EQ(SendCommand(FourCC("Sall")), noErr);
    EXPECT_EQ(std::vector<double>({gMasterConfig->startRel.left, gMasterConfig->startRel.right,
                                   gMasterConfig->startRel.top, gMasterConfig->startRel.bottom}),
              std::vector<double>({0.0, 1.0, 0.0, 1.0}));
    gConfigWorkSpace = PluginWorkSpace{};
}

TEST_F(ConfigDialog, WithNoFrameFromTheHostTheDialogOpensOnABlackPreview) {
    host.failures["GetFrame"] = kPluginFailed;
    gMasterConfig->mediaType = kMediaHD;
    Click("key return\n");
    EXPECT_EQ(host.CountOf("ReleaseFrame"), 1u);
}

TEST_F(ConfigDialog, CancelKeepsTheImageReferencesAlive) {
    CGImageRef original = MakeImage(4, 4, PixRec{0, 0, 0, 0});
    gMasterConfig->theOriginalImage = original;
    RenderLineArt(gMasterConfig);
    CGImageRef rendered = gMasterConfig->theRendered;
    ASSERT_NE(rendered, nullptr);
    // Slider 1 renders the line art again, releasing the image the record held at entry.
    Click(DragSlider(1, 900) + "key escape\n");
    EXPECT_EQ(gMasterConfig->theOriginalImage, original);
    EXPECT_EQ(gMasterConfig->theRendered, rendered);
    EXPECT_EQ(CGImageGetWidth(gMasterConfig->theRendered), 4u); // still a live image
    CGImageRelease(gMasterConfig->theOriginalImage);
    CGImageRelease(gMasterConfig->theRendered);
    gMasterConfig->theOriginalImage = gMasterConfig->theRendered = nullptr;
}

} // namespace

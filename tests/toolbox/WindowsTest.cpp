// Windows, controls, events and modal loops driven by the script source, over the test
// window description that holds every control kind; the colour picker.
#include "WindowSupport.h"

#include "toolbox/ColorPicker.h"
#include "toolbox/TextUtils.h"

#include <cstring>

namespace windowtest {

// OK and Cancel end the window's loop; "Nest" runs the inner window's loop inside this one;
// everything else is left to the application.
OSStatus WindowHandler(EventHandlerCallRef, EventRef event, void* userData) {
    auto window = static_cast<WindowRef>(userData);
    std::string code = Code(Param<HICommand>(event, kEventParamDirectObject, typeHICommand).commandID);
    gRecord->commands.push_back("window:" + code);
    if (code == "ok  " || code == "not!") {
        QuitAppModalLoopForWindow(window);
        return noErr;
    }
    if (code == "Nest") {
        WindowRef inner = nullptr;
        EXPECT_EQ(CreateWindowFromNib(gRecord->nib, CFSTR("inner"), &inner), noErr);
        InstallEventHandler(GetWindowEventTarget(inner), WindowHandler, 1, &kCommandEvent, inner, nullptr);
        ShowWindow(inner);
        RunAppModalLoopForWindow(inner);
        DisposeWindow(inner);
        gRecord->commands.push_back("inner closed");
        return noErr;
    }
    return eventNotHandledErr;
}

namespace {

using Windows = WindowFixture;
using Commands = std::vector<std::string>;

// What each script sends, and to whom. The script's own checks must pass too.
TEST_F(Windows, ControlsSendTheirCommandsToTheWindowThenTheApplication) {
    const std::pair<const char*, Commands> cases[] = {
        {"press Bttn 1\nkey return\n", {"window:Aply", "app:Aply", "window:ok  "}},
        // A disabled or hidden control takes no click.
        {"press Bttn 3\npress Hide 1\nkey escape\n", {"window:not!"}},
        {"press Keep 1\nexpect value Keep 1 1\npress Keep 1\nexpect value Keep 1 0\nkey return\n",
         {"window:Keep", "app:Keep", "window:Keep", "app:Keep", "window:ok  "}},
        {"choose Medi 1 3\nexpect text Medi 1 HD\nkey return\n", {"window:Medi", "app:Medi", "window:ok  "}},
        // A click on a pop-up leaves its menu open (below it, 18 pixels an item) for the next.
        {"click 40 103\nclick 40 141\nexpect value Medi 1 2\nkey return\n",
         {"window:Medi", "app:Medi", "window:ok  "}},
        // Tab focuses the text, whose selection typing replaces.
        {"key tab\ntype Q\nexpect text Edit 1 Q\nkey return\n", {"window:ok  "}},
        // Loops nest; return and escape send the window's default and cancel commands.
        {"press Bttn 2\nexpect text Text 1 A window inside\nkey return\nkey escape\n",
         {"window:Nest", "window:ok  ", "inner closed", "window:not!"}},
    };
    for (const auto& [script, commands] : cases) {
        Reopen();
        Run(script);
        EXPECT_EQ(record.commands, commands) << script;
    }
    EXPECT_EQ(GetControlHilite(Control("Bttn", 3)), kControlDisabledPart);
}

TEST_F(Windows, ALoopThatRunsOutOfScriptEndsAsIfEscapeWerePressed) {
    std::string err = Run("press Bttn 2\n");
    EXPECT_EQ(record.commands, (Commands{"window:Nest", "window:not!", "inner closed", "window:not!"}));
    EXPECT_NE(err.find("\"inner\" ends as if escape were pressed"), std::string::npos) << err;
    EXPECT_NE(err.find("\"every\" ends as if escape were pressed"), std::string::npos) << err;
    // Escape and return do nothing in a window without commands; it ends all the same.
    WindowRef helpers = nullptr;
    ASSERT_EQ(CreateWindowFromNib(nib, CFSTR("helpers"), &helpers), noErr);
    err = testsupport::RunModalScript(helpers, "key escape\nkey return\n");
    EXPECT_NE(err.find("\"helpers\" ends as if escape were pressed"), std::string::npos) << err;
    DisposeWindow(helpers);
}

TEST_F(Windows, ASliderDragCallsItsActionAtEveryStep) {
    ControlRef slider = Control("Sldr", 1);
    SetControlAction(slider, NewControlActionUPP([](ControlRef c, ControlPartCode) {
                         gRecord->sliderSteps.push_back(GetControl32BitValue(c));
                     }));
    // The track runs from h = 25 (value 0) to h = 225 (value 100): 2 pixels a step, rounded.
    Run("drag 125 41 165 41 4\nexpect value Sldr 1 70\nclick 136 41\nkey return\n");
    EXPECT_EQ(record.sliderSteps, (std::vector<SInt32>{55, 60, 65, 70, 56}));
    EXPECT_EQ(GetControlHilite(slider), 0);
}

TEST_F(Windows, TypingEditsTheFocusedTextAndItsSelection) {
    Run("click 190 137\ntype xyz\nkey backspace\nkey left\ntype é\nexpect text Edit 1 abcxéy\nkey return\n");
    ControlRef edit = Control("Edit", 1);
    char text[32];
    Size size = 0;
    ASSERT_EQ(GetControlData(edit, 0, kControlEditTextTextTag, sizeof text, text, &size), noErr);
    EXPECT_EQ(std::string(text, size_t(size)), "abcx\x8Ey"); // é is 0x8E in Mac Roman
    ControlEditTextSelectionRec sel;
    ASSERT_EQ(GetControlData(edit, 0, kControlEditTextSelectionTag, sizeof sel, &sel, &size), noErr);
    EXPECT_EQ(sel.selStart, 5);
    EXPECT_EQ(sel.selEnd, 5);
    ControlRef focused = nullptr;
    GetKeyboardFocus(window, &focused);
    EXPECT_EQ(focused, edit);
}

TEST_F(Windows, ACustomControlGetsHitTestTrackAndHitWithTheMouseAndModifiers) {
    Run("drag 260 70 300 90 2 shift option\nkey return\n");
    EXPECT_EQ(GetControl32BitValue(Control("Cust", 1)), 1);
    EXPECT_EQ(record.hitTests, (std::vector<Spot>{{260, 70}}));
    EXPECT_EQ(record.trackModifiers, (std::vector<UInt32>{shiftKey | optionKey}));
    EXPECT_EQ(record.trackResults,
              (std::vector<MouseTrackingResult>{kMouseTrackingMouseDragged, kMouseTrackingMouseDragged,
                                                kMouseTrackingMouseUp}));
    EXPECT_EQ(record.tracks.back(), (Spot{300, 90}));
    // Hit follows the track; activate and owning-window-changed were not registered for.
    EXPECT_EQ(record.Count(kEventControlHit), 1);
    EXPECT_EQ(record.Count(kEventControlActivate), 0);
    EXPECT_EQ(record.Count(kEventControlOwningWindowChanged), 0);
}

TEST_F(Windows, ACustomClassWithoutTrackIsTrackedByTheToolbox) {
    RegisterBox(kEventControlActivate);
    Reopen();
    // Released outside: no hit. Released inside: one hit.
    Run("drag 260 70 5 5 2\npress Cust 1\nkey return\n");
    EXPECT_EQ(record.Count(kEventControlHit), 1);
    EXPECT_EQ(record.Count(kEventControlTrack), 0);
    EXPECT_EQ(record.Count(kEventControlActivate), 1);
}

TEST_F(Windows, ScriptChecksThatFailAreCountedAndNamed) {
    std::string error;
    toolbox::UseScriptText(
        "expect value Sldr 1 3\nexpect text Lgnd 1 nope\npress Nope 9\nwiggle\nkey return\n", error);
    int before = toolbox::ScriptFailures();
    testing::internal::CaptureStderr();
    ShowWindow(window);
    RunAppModalLoopForWindow(window);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(toolbox::ScriptFailures() - before, 4);
    for (const char* message : {"script:1: expected the value of Sldr 1 to be 3, it is 50",
                                "script:2: expected the text of Lgnd 1 to be \"nope\", it is \"50%\"",
                                "script:3: no control Nope 9", "script:4: unknown step: wiggle"})
        EXPECT_NE(err.find(message), std::string::npos) << err;
}

TEST_F(Windows, ValuesStayInTheirRangeAndDataTagsAndItemsAreChecked) {
    ControlRef slider = Control("Sldr", 1);
    SetControl32BitValue(slider, 500);
    EXPECT_EQ(GetControl32BitValue(slider), 100);
    SetControl32BitMaximum(slider, 40);
    EXPECT_EQ(GetControl32BitValue(slider), 40);
    EXPECT_EQ(GetControlMaximum(slider), 40);
    char buffer[4];
    EXPECT_EQ(GetControlData(slider, 0, kControlEditTextTextTag, sizeof buffer, buffer, nullptr),
              errDataNotSupported);
    ControlID missing{FourCC("Nope"), 1}, negative{FourCC("Sldr"), -1};
    ControlRef c = reinterpret_cast<ControlRef>(1);
    EXPECT_EQ(GetControlByID(window, &missing, &c), errUnknownControl);
    EXPECT_EQ(c, nullptr);
    EXPECT_EQ(GetControlByID(window, &negative, &c), errUnknownControl);
    EXPECT_EQ(GetControl32BitValue(nullptr), 0);
    // A pop-up's items are its range.
    ControlRef popup = Control("Medi", 1);
    EXPECT_EQ(GetControlMaximum(popup), 3);
    Str255 item;
    GetMenuItemText(GetControlPopupMenuHandle(popup), 2, item);
    EXPECT_EQ(toolbox::PascalView(item), "PAL");
    GetMenuItemText(GetControlPopupMenuHandle(popup), 4, item);
    EXPECT_EQ(item[0], 0);
}

TEST_F(Windows, HidingAControlRedrawsWhatLayBeneath) {
    const BitMap* bits = GetPortBitMapForCopyBits(GetWindowPort(window));
    auto pixel = [&](int h, int v) {
        UInt32 p;
        std::memcpy(&p, bits->baseAddr + v * (bits->rowBytes & 0x3FFF) + 4 * h, 4);
        return p;
    };
    UInt32 background = pixel(5, 320);
    ControlRef box = Control("Cust", 1);
    EXPECT_NE(pixel(300, 100), background);
    HideControl(box);
    EXPECT_FALSE(IsControlVisible(box));
    EXPECT_EQ(pixel(300, 100), background);
    Run("click 300 100\nkey return\n"); // a hidden control takes no click
    EXPECT_TRUE(record.hitTests.empty());
}

TEST_F(Windows, WindowBoundsIncludeTheFrameInTheStructure) {
    Rect content, structure;
    ASSERT_EQ(GetWindowBounds(window, kWindowContentRgn, &content), noErr);
    ASSERT_EQ(GetWindowBounds(window, kWindowStructureRgn, &structure), noErr);
    EXPECT_EQ(content.left, 60);
    EXPECT_EQ(content.top, 80);
    EXPECT_EQ(content.right, 480);
    EXPECT_EQ(structure.top, 80 - kWindowTitleBarHeight - kWindowBorderWidth);
    EXPECT_EQ(structure.right, 481);
    MoveWindow(window, 10, 30, true);
    GetWindowBounds(window, kWindowContentRgn, &content);
    EXPECT_EQ(content.left, 10);
    EXPECT_EQ(content.bottom, 360);
}

TEST(ColorPicker, TheSlidersChooseTheColourAndCancelKeepsIt) {
    std::string error;
    NColorPickerInfo info{};
    info.theColor.color.rgb = RGBColor{0xFF00, 0x8000, 0};
    // The red slider runs from h = 195 (0) to h = 355 (255).
    toolbox::UseScriptText(
        "expect value Pick 1 255\nexpect value Pick 2 128\ndrag 355 63 195 63\nkey return\n", error);
    ASSERT_EQ(NPickColor(&info), noErr);
    EXPECT_TRUE(info.newColorChosen);
    EXPECT_EQ(info.theColor.color.rgb.red, 0);
    EXPECT_EQ(info.theColor.color.rgb.green, 0x8080);
    toolbox::UseScriptText("drag 195 63 355 63\nkey escape\n", error);
    ASSERT_EQ(NPickColor(&info), noErr);
    EXPECT_FALSE(info.newColorChosen);
    EXPECT_EQ(info.theColor.color.rgb.red, 0);
}

} // namespace
} // namespace windowtest

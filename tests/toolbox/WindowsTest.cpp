// Windows, controls, events and modal loops driven by the script source, over the test
// window description that holds every control kind.
#include "WindowSupport.h"

#include "toolbox/Alerts.h"
#include "toolbox/ColorPicker.h"
#include "toolbox/TextUtils.h"

#include <cstring>

namespace windowtest {

// OK and Cancel end the window's loop; "Nest" runs the inner window's loop inside this one;
// "Pass" is handed on at once; everything else is left to the application.
OSStatus WindowHandler(EventHandlerCallRef call, EventRef event, void* userData) {
    auto window = static_cast<WindowRef>(userData);
    HICommand command;
    GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr,
                      &command);
    std::string code = Code(command.commandID);
    gRecord->commands.push_back(std::string(GetWindowPort(window) ? "window:" : "?") + code);
    if (code == "ok  " || code == "not!") {
        QuitAppModalLoopForWindow(window);
        return noErr;
    }
    if (code == "Nest") {
        WindowRef inner = nullptr;
        EXPECT_EQ(CreateWindowFromNib(gRecord->nib, CFSTR("inner"), &inner), noErr);
        static const EventTypeSpec kCommand{kEventClassCommand, kEventCommandProcess};
        InstallEventHandler(GetWindowEventTarget(inner), WindowHandler, 1, &kCommand, inner, nullptr);
        ShowWindow(inner);
        RunAppModalLoopForWindow(inner);
        DisposeWindow(inner);
        gRecord->commands.push_back("inner closed");
        return noErr;
    }
    if (code == "Pass") return CallNextEventHandler(call, event);
    return eventNotHandledErr;
}

namespace {

void SliderAction(ControlRef c, ControlPartCode) {
    gRecord->sliderSteps.push_back(GetControl32BitValue(c));
}

using Windows = WindowFixture;

TEST_F(Windows, AButtonSendsItsCommandToTheWindowThenTheApplication) {
    Run("press Bttn 1\nkey return\n");
    EXPECT_EQ(record.commands, (std::vector<std::string>{"window:Aply", "app:Aply", "window:ok  "}));
}

TEST_F(Windows, ADisabledOrHiddenControlTakesNoClick) {
    Run("press Bttn 3\npress Hide 1\nkey escape\n");
    EXPECT_EQ(record.commands, (std::vector<std::string>{"window:not!"}));
    EXPECT_EQ(GetControlHilite(Control("Bttn", 3)), kControlDisabledPart);
}

TEST_F(Windows, ASliderDragCallsItsActionAtEveryStep) {
    ControlRef slider = Control("Sldr", 1);
    SetControlAction(slider, NewControlActionUPP(SliderAction));
    // The track runs from h = 25 (value 0) to h = 225 (value 100): 2 pixels a step.
    Run("drag 125 41 165 41 4\nexpect value Sldr 1 70\nkey return\n");
    EXPECT_EQ(record.sliderSteps, (std::vector<SInt32>{55, 60, 65, 70}));
    EXPECT_EQ(GetControl32BitValue(slider), 70);
    EXPECT_EQ(GetControlHilite(slider), 0);
}

TEST_F(Windows, ChoosingAPopupItemSetsItsValueAndSendsItsCommand) {
    Run("choose Medi 1 3\nexpect text Medi 1 HD\nkey return\n");
    ControlRef popup = Control("Medi", 1);
    EXPECT_EQ(GetControl32BitValue(popup), 3);
    EXPECT_EQ(record.commands.front(), "window:Medi");
    Str255 item;
    GetMenuItemText(GetControlPopupMenuHandle(popup), 2, item);
    EXPECT_EQ(toolbox::PascalView(item), "PAL");
    GetMenuItemText(GetControlPopupMenuHandle(popup), 4, item);
    EXPECT_EQ(item[0], 0);
    EXPECT_EQ(GetControl32BitMaximum(popup), 3);
}

TEST_F(Windows, AClickOnAPopupLeavesItsMenuOpenForTheNextClick) {
    ControlRef popup = Control("Medi", 1);
    // The menu opens below the pop-up (bottom 114), 18 pixels an item.
    Run("click 40 103\nclick 40 141\nkey return\n");
    EXPECT_EQ(GetControl32BitValue(popup), 2);
}

TEST_F(Windows, ACheckBoxTogglesAndSendsItsCommand) {
    Run("press Keep 1\nexpect value Keep 1 1\npress Keep 1\nkey return\n");
    EXPECT_EQ(GetControl32BitValue(Control("Keep", 1)), 0);
    EXPECT_EQ(record.commands, (std::vector<std::string>{"window:Keep", "app:Keep", "window:Keep", "app:Keep",
                                                         "window:ok  "}));
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
    // Focusing selects everything; typing replaces the selection.
    sel = {1, 2};
    ASSERT_EQ(SetControlData(edit, 0, kControlEditTextSelectionTag, sizeof sel, &sel), noErr);
    ControlRef focused = nullptr;
    GetKeyboardFocus(window, &focused);
    EXPECT_EQ(focused, edit);
}

TEST_F(Windows, TabMovesTheFocusAndTypingReplacesTheSelection) {
    Run("key tab\ntype Q\nexpect text Edit 1 Q\nkey return\n");
}

TEST_F(Windows, ACustomControlGetsHitTestTrackAndHitWithTheMouseAndModifiers) {
    ControlRef box = Control("Cust", 1);
    int drawsBefore = record.draws;
    Run("drag 260 70 300 90 2 shift option\nkey return\n");
    EXPECT_EQ(GetControl32BitValue(box), 1);
    EXPECT_GT(record.draws, drawsBefore);
    ASSERT_EQ(record.hitTestPoints.size(), 1u);
    EXPECT_EQ(record.hitTestPoints[0].h, 260);
    EXPECT_EQ(record.hitTestPoints[0].v, 70);
    ASSERT_EQ(record.trackModifiers.size(), 1u);
    EXPECT_EQ(record.trackModifiers[0], UInt32(shiftKey | optionKey));
    EXPECT_EQ(record.trackResults,
              (std::vector<MouseTrackingResult>{kMouseTrackingMouseDragged, kMouseTrackingMouseDragged,
                                                kMouseTrackingMouseUp}));
    EXPECT_EQ(record.trackPoints.back().h, 300);
    EXPECT_EQ(record.trackPoints.back().v, 90);
    // Hit follows the track; activate and owning-window-changed were not registered for.
    EXPECT_EQ(std::count(record.customKinds.begin(), record.customKinds.end(), kEventControlHit), 1);
    EXPECT_EQ(std::count(record.customKinds.begin(), record.customKinds.end(), kEventControlActivate), 0);
    EXPECT_EQ(
        std::count(record.customKinds.begin(), record.customKinds.end(), kEventControlOwningWindowChanged),
        0);
}

TEST_F(Windows, ACustomClassWithoutTrackIsTrackedByTheToolbox) {
    DisposeWindow(window);
    RegisterBox({{kEventClassControl, kEventControlDraw},
                 {kEventClassControl, kEventControlHitTest},
                 {kEventClassControl, kEventControlHit},
                 {kEventClassControl, kEventControlActivate}});
    ASSERT_EQ(CreateWindowFromNib(nib, CFSTR("every"), &window), noErr);
    InstallCommandHandler();
    record.customKinds.clear();
    // Released outside: no hit. Released inside: one hit.
    Run("drag 260 70 5 5 2\npress Cust 1\nkey return\n");
    EXPECT_EQ(std::count(record.customKinds.begin(), record.customKinds.end(), kEventControlHit), 1);
    EXPECT_EQ(std::count(record.customKinds.begin(), record.customKinds.end(), kEventControlTrack), 0);
    EXPECT_EQ(std::count(record.customKinds.begin(), record.customKinds.end(), kEventControlActivate), 1);
}

TEST_F(Windows, ModalLoopsNestAndReturnAndEscapeSendTheWindowsCommands) {
    Run("press Bttn 2\nexpect text Text 1 A window inside\nkey return\nkey escape\n");
    EXPECT_EQ(record.commands,
              (std::vector<std::string>{"window:Nest", "window:ok  ", "inner closed", "window:not!"}));
}

TEST_F(Windows, ALoopThatRunsOutOfScriptEndsAsIfEscapeWerePressed) {
    std::string err = Run("press Bttn 2\n");
    EXPECT_EQ(record.commands,
              (std::vector<std::string>{"window:Nest", "window:not!", "inner closed", "window:not!"}));
    EXPECT_NE(err.find("\"inner\" ends as if escape were pressed"), std::string::npos) << err;
    EXPECT_NE(err.find("\"every\" ends as if escape were pressed"), std::string::npos) << err;
}

TEST_F(Windows, AWindowWithoutACancelCommandStillEndsWhenTheScriptRunsOut) {
    WindowRef helpers = nullptr;
    ASSERT_EQ(CreateWindowFromNib(nib, CFSTR("helpers"), &helpers), noErr);
    std::string error;
    toolbox::UseScriptText("key escape\nkey return\n", error);
    testing::internal::CaptureStderr();
    ShowWindow(helpers);
    RunAppModalLoopForWindow(helpers); // escape and return do nothing here; then the script ends
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("\"helpers\" ends as if escape were pressed"), std::string::npos) << err;
    DisposeWindow(helpers);
}

TEST_F(Windows, CallNextEventHandlerPassesTheCommandOnAndCountsItsResult) {
    Run("key return\n");
    record.commands.clear();
    HICommand pass{0, FourCC("Pass"), {nullptr, 0}};
    // No modal loop now: the command goes to the front window, which passes it on.
    BringToFront(window);
    EXPECT_EQ(ProcessHICommand(&pass), eventNotHandledErr);
    EXPECT_EQ(record.commands, (std::vector<std::string>{"window:Pass", "app:Pass"}));
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
    EXPECT_NE(err.find("script:1: expected the value of Sldr 1 to be 3, it is 50"), std::string::npos) << err;
    EXPECT_NE(err.find("script:2: expected the text of Lgnd 1 to be \"nope\", it is \"50%\""),
              std::string::npos);
    EXPECT_NE(err.find("script:3: no control Nope 9"), std::string::npos);
    EXPECT_NE(err.find("script:4: unknown step: wiggle"), std::string::npos);
}

TEST_F(Windows, ValuesStayInTheirRangeAndDataTagsAreChecked) {
    ControlRef slider = Control("Sldr", 1);
    SetControl32BitValue(slider, 500);
    EXPECT_EQ(GetControl32BitValue(slider), 100);
    SetControl32BitMaximum(slider, 40);
    EXPECT_EQ(GetControl32BitValue(slider), 40);
    EXPECT_EQ(GetControlMaximum(slider), 40);
    char buffer[4];
    EXPECT_EQ(GetControlData(slider, 0, kControlEditTextTextTag, sizeof buffer, buffer, nullptr),
              errDataNotSupported);
    ControlID missing{FourCC("Nope"), 1};
    ControlRef c = reinterpret_cast<ControlRef>(1);
    EXPECT_EQ(GetControlByID(window, &missing, &c), errUnknownControl);
    EXPECT_EQ(c, nullptr);
    EXPECT_EQ(GetControl32BitValue(nullptr), 0);
    ControlID negative{FourCC("Sldr"), -1};
    EXPECT_EQ(GetControlByID(window, &negative, &c), errUnknownControl);
}

TEST_F(Windows, HidingAControlRedrawsWhatLayBeneath) {
    CGrafPtr port = GetWindowPort(window);
    const BitMap* bits = GetPortBitMapForCopyBits(port);
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

TEST(Alerts, AnAlertIsAWindowWhoseButtonsTheScriptChooses) {
    auto warn = [](const char* script) {
        std::string error;
        toolbox::UseScriptText(script, error);
        AlertStdCFStringAlertParamRec param{};
        param.defaultText = CFSTR("Go");
        param.cancelText = CFSTR("Stop");
        DialogRef alert = nullptr;
        EXPECT_EQ(CreateStandardAlert(kAlertCautionAlert, CFSTR("Head"), CFSTR("Text"), &param, &alert),
                  noErr);
        DialogItemIndex hit = 0;
        RunStandardAlert(alert, nullptr, &hit);
        return hit;
    };
    testing::internal::CaptureStderr();
    EXPECT_EQ(warn("press Albt 2\n"), kAlertStdAlertCancelButton);
    EXPECT_EQ(warn("key return\n"), kAlertStdAlertOKButton);
    EXPECT_EQ(warn(""), kAlertStdAlertCancelButton); // out of script: escape
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Alert (caution): Head\n  Text\n  buttons: [Go] [Stop]\n  chosen: Stop\n"),
              std::string::npos)
        << err;
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

#include "toolbox/Navigation.h"

namespace {

// The path of the chooser's one chosen file ("" when there is none), and whether it replaces one.
std::string Chosen(NavDialogRef dialog, bool& replacing) {
    NavReplyRecord reply;
    OSStatus err = NavDialogGetReply(dialog, &reply);
    replacing = reply.replacing;
    long count = 0;
    FSSpec spec{};
    if (err == noErr && AECountItems(&reply.selection, &count) == noErr && count == 1)
        AEGetNthPtr(&reply.selection, 1, typeFSS, nullptr, nullptr, &spec, sizeof spec, nullptr);
    NavDisposeReply(&reply);
    return count == 1 ? toolbox::FSSpecToPath(spec) : "";
}

TEST(FileChoosers, OpenTakesOnlyAnExistingFileAndSaveTellsAboutReplacing) {
    std::string file = testing::TempDir() + "chosen.txt", error;
    bool replacing = true;
    FILE* f = std::fopen(file.c_str(), "w");
    std::fclose(f);
    NavDialogRef open = nullptr;
    ASSERT_EQ(NavCreateGetFileDialog(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &open), noErr);
    toolbox::UseScriptText(
        "type /nonexistent/x\nkey return\nexpect text Stat 1 There is no file at this path.\n"
        "key tab\ntype " +
            file + "\nkey return\n",
        error);
    testing::internal::CaptureStderr();
    ASSERT_EQ(NavDialogRun(open), noErr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(NavDialogGetUserAction(open), UInt32(kNavUserActionOpen));
    EXPECT_EQ(Chosen(open, replacing), file);
    EXPECT_FALSE(replacing);
    NavDialogDispose(open);

    NavDialogCreationOptions options;
    NavGetDefaultDialogCreationOptions(&options);
    CFStringRef proposed = CFStringCreateWithCString(nullptr, file.c_str(), kCFStringEncodingUTF8);
    options.saveFileName = proposed;
    NavDialogRef save = nullptr;
    ASSERT_EQ(NavCreatePutFileDialog(&options, 0, 0, nullptr, nullptr, &save), noErr);
    toolbox::UseScriptText("expect text Path 1 " + file + "\nkey return\n", error);
    NavDialogRun(save);
    EXPECT_EQ(Chosen(save, replacing), file);
    EXPECT_TRUE(replacing);
    toolbox::UseScriptText("key escape\n", error);
    NavDialogRun(save);
    EXPECT_EQ(NavDialogGetUserAction(save), UInt32(kNavUserActionCancel));
    EXPECT_EQ(Chosen(save, replacing), "");
    NavDialogDispose(save);
    CFRelease(proposed);
    std::remove(file.c_str());
}

} // namespace

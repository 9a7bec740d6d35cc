// The control, event and window helpers on the test bundle's "helpers" window.
#include "util/CarbonMacros.h"
#include "util/commonprocs.h"

#include "toolbox/InputSources.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstring>
#include <vector>

namespace {

std::string Text(const PString& s) {
    return std::string(s.View());
}

void LoadTestBundle() {
    static void* handle = dlopen(TEST_DIALOGS_BUNDLE "/Contents/Linux/TestDialogs.so", RTLD_NOW);
    ASSERT_NE(handle, nullptr) << dlerror();
}

class CarbonMacros : public testing::Test {
  protected:
    WindowRef w = nullptr;
    void SetUp() override {
        LoadTestBundle();
        w = OpenNibWindowFromCFBundle("com.quorvel.test.dialogs", "dialogs", "helpers");
    }
    void TearDown() override { DisposeWindow(w); }

    // A checksum of the window's pixels inside r.
    UInt64 Pixels(const Rect& r) {
        const BitMap* bits = GetPortBitMapForCopyBits(GetWindowPort(w));
        UInt64 sum = 0;
        for (int v = r.top; v < r.bottom; ++v)
            for (int h = r.left; h < r.right; ++h) {
                UInt32 p;
                std::memcpy(&p, bits->baseAddr + v * (bits->rowBytes & 0x3FFF) + 4 * h, 4);
                sum = sum * 31 + p;
            }
        return sum;
    }
};

TEST_F(CarbonMacros, EditTextsReadAndWriteAsShortStringsAndNumbers) {
    EXPECT_EQ(Text(GetEditTextFromControl(w, FourCC("Edit"), 1)), "42");
    EXPECT_EQ(GetNumberFromEditTextControl(w, FourCC("Edit"), 1), 42);
    SetEditTextToNumberForControl(-7, w, FourCC("Edit"), 1);
    EXPECT_EQ(Text(GetEditTextFromControl(w, FourCC("Edit"), 1)), "-7");
    // A negative id reaches the toolbox as the 32-bit -1.
    EXPECT_EQ(Text(GetEditTextFromControl(w, FourCC("Edit"), -1)), "minus one");
    std::string longText(300, 'x');
    longText[254] = 'y';
    SetControlData(SimpleGetControlByID(w, FourCC("Edit"), 1), 0, kControlEditTextTextTag,
                   Size(longText.size()), longText.data());
    PString cut = GetEditTextFromControl(w, FourCC("Edit"), 1);
    EXPECT_EQ(cut.Length(), 255);
    EXPECT_EQ(cut.View().back(), 'y');
    SetKeyboadFocusByID(w, FourCC("Edit"), -1);
    ControlRef focus = nullptr;
    GetKeyboardFocus(w, &focus);
    EXPECT_EQ(focus, SimpleGetControlByID(w, FourCC("Edit"), -1));
}

TEST_F(CarbonMacros, OnlySimpleSetControlTextRedraws) {
    Rect edit = SimpleGetControlBox(w, FourCC("Edit"), 1), legend = SimpleGetControlBox(w, FourCC("Lgnd"), 1);
    UInt64 before = Pixels(edit);
    SetEditTextForControl(PString("changed"), w, FourCC("Edit"), 1);
    EXPECT_EQ(Pixels(edit), before);
    Draw1Control(SimpleGetControlByID(w, FourCC("Edit"), 1));
    EXPECT_NE(Pixels(edit), before);
    before = Pixels(legend);
    SimpleSetControlText(w, FourCC("Lgnd"), 1, PString("100%"));
    EXPECT_NE(Pixels(legend), before);
    EXPECT_EQ(Text(GetEditTextFromControl(w, FourCC("Lgnd"), 1)), "100%");
}

TEST_F(CarbonMacros, ValuesVisibilityAndEnabledStateByIDAndMissingControls) {
    const UInt32 slider = FourCC("Sldr");
    ControlRef c = SimpleGetControlByID(w, slider, 1);
    SimpleSetControlValueByID(w, slider, 1, -4);
    EXPECT_EQ(SimpleGetControlValueByID(w, slider, 1), -4);
    SimpleHideControl(w, slider, 1);
    EXPECT_FALSE(IsControlVisible(c));
    SimpleShowControl(w, slider, 1);
    EXPECT_TRUE(IsControlVisible(c));
    SimpleDisableControlByID(w, slider, 1);
    EXPECT_EQ(GetControlHilite(c), kControlDisabledPart);
    SimpleEnableControlByID(w, slider, 1);
    EXPECT_EQ(GetControlHilite(c), 0);
    EXPECT_EQ(std::vector<int>({GetControlBox(c).left, GetControlBox(c).bottom}),
              std::vector<int>({10, 132}));
    // The helpers allow for a missing control.
    const UInt32 none = FourCC("None");
    SimpleSetControlText(w, none, 1, PString("x"));
    SimpleHideControl(w, none, 1);
    SetEditTextToNumberForControl(5, w, none, 1);
    EXPECT_EQ(GetEditTextFromControl(w, none, 1).Length(), 0);
    EXPECT_EQ(GetNumberFromEditTextControl(w, none, 1), 0);
    EXPECT_EQ(SimpleGetControlByID(w, none, 1), nullptr);
}

TEST_F(CarbonMacros, PopupItemsAreFoundByTextAndPosition) {
    const UInt32 font = FourCC("Font");
    EXPECT_EQ(Text(GetSelectedPopupTextFromID(w, font, 1)), "DejaVu Sans");
    EXPECT_EQ(GetFontIDFromPopup(w, font, 1), 1);
    EXPECT_EQ(Text(GetIndexedPopupTextFromID(w, font, 1, 3)), "Twice");
    EXPECT_EQ(FindNameInPopupByID(w, font, 1, PString("Twice")), 3); // the first of two
    EXPECT_EQ(FindNameInPopupByID(w, font, 1, PString("nope")), -1); // case matters
    EXPECT_EQ(FindNameInPopupByID(w, font, 1, PString("Twic")), -1);
    EXPECT_EQ(FindNameInPopupByID(w, FourCC("Empt"), 1, PString("")), -1);
    SimpleSetControlValueByID(w, font, 1, 1);
    EXPECT_EQ(GetFontIDFromPopup(w, font, 1), kInvalidFontFamily);
    EXPECT_EQ(Text(CommandID2Str(FourCC("ok  "))), "ok  ");
}

// What the handlers see.
struct Seen {
    std::vector<std::string> mouse, keys;
    std::vector<UInt32> windowCommands, appCommands;
};

UInt32 CommandOf(EventRef event) {
    HICommand command;
    GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr,
                      &command);
    return command.commandID;
}

OSStatus MouseHandler(EventHandlerCallRef, EventRef event, void* data) {
    Point where = GetMouseLocFromEvent(event);
    UInt32 mods = (IsShiftDown() ? shiftKey : 0) | (IsOptionDown() ? optionKey : 0) |
                  (IsCtrlDown() ? controlKey : 0) | (IsCommandDown() ? cmdKey : 0);
    static_cast<Seen*>(data)->mouse.push_back(std::to_string(where.h) + "," + std::to_string(where.v) + ":" +
                                              std::to_string(mods));
    return noErr;
}

OSStatus KeyHandler(EventHandlerCallRef, EventRef event, void* data) {
    char key = 0;
    UInt32 code = 0, mods = 0;
    GetWindowKeyboardDataFromEvent(event, key, code, mods);
    static_cast<Seen*>(data)->keys.push_back(std::string(1, key) + ":" + std::to_string(code));
    if (code == 53) QuitAppModalLoopForWindow(GetWindowFromEvent(event));
    return eventNotHandledErr;
}

OSStatus CommandHandler(EventHandlerCallRef, EventRef event, void* data) {
    static_cast<Seen*>(data)->windowCommands.push_back(CommandOf(event));
    return CommandOf(event) == FourCC("Appl") ? eventNotHandledErr : noErr;
}

OSStatus AppCommandHandler(EventHandlerCallRef, EventRef event, void* data) {
    static_cast<Seen*>(data)->appCommands.push_back(CommandOf(event));
    return noErr;
}

// Mouse, keys and modifiers reach the window's handlers; a posted command reaches the front
// window (short texts padded with spaces) and, left there, the application.
TEST_F(CarbonMacros, HandlersSeeTheMouseKeysModifiersAndCommands) {
    Seen seen;
    const EventTypeSpec mouse{kEventClassMouse, kEventMouseDown}, key{kEventClassKeyboard, kEventRawKeyDown},
        command{kEventClassCommand, kEventCommandProcess};
    InstallWindowEventHandler(w, MouseHandler, 1, &mouse, &seen, nullptr);
    InstallWindowEventHandler(w, KeyHandler, 1, &key, &seen, nullptr);
    InstallWindowEventHandler(w, CommandHandler, 1, &command, &seen, nullptr);
    EventHandlerRef appHandler = nullptr;
    InstallApplicationEventHandler(AppCommandHandler, 1, &command, &seen, &appHandler);
    std::string error;
    toolbox::UseScriptText("click 250 150 shift control\nclick 7 9 command option\ntype q\nkey escape\n",
                           error);
    ShowWindow(w);
    RunAppModalLoopForWindow(w);
    EXPECT_EQ(seen.mouse, (std::vector<std::string>{"250,150:" + std::to_string(shiftKey | controlKey),
                                                    "7,9:" + std::to_string(cmdKey | optionKey)}));
    EXPECT_EQ(seen.keys, (std::vector<std::string>{"q:0", "\x1B:53"}));
    for (const char* text : {"Sall", "ok", "Appl"})
        PostCommand(PString(text));
    EXPECT_EQ(seen.windowCommands, (std::vector<UInt32>{FourCC("Sall"), FourCC("ok  "), FourCC("Appl")}));
    EXPECT_EQ(seen.appCommands, (std::vector<UInt32>{FourCC("Appl")}));
    RemoveEventHandler(appHandler);
}

TEST(OpenNibWindowDeathTest, FailuresEndInTheirAlerts) {
    LoadTestBundle();
    EXPECT_EXIT(OpenNibWindowFromCFBundle("com.quorvel.test.dialogs", "", "every"),
                testing::ExitedWithCode(70),
                "Alert \\(stop\\): OpenNibWindow Failed\n  Unable to CreateNibReferenceWithCFBundle for "
                "\"com.quorvel.test.dialogs/umbrawash\" as it returned errcode #-10960\\.\n");
    // A window that cannot be made ends with the low byte of the code: -10962 is 0x...D52E.
    EXPECT_EXIT(OpenNibWindowFromCFBundle("com.quorvel.test.dialogs", "dialogs", "nowhere"),
                testing::ExitedWithCode(0x2E), "no window \"nowhere\"");
    EXPECT_EXIT(OpenNibWindowFromCFBundle("com.quorvel.none", "dialogs", "every"),
                testing::ExitedWithCode(70),
                "Assertion failed in: Cannot allocate bundle for ID = com.quorvel.none\n");
}

} // namespace

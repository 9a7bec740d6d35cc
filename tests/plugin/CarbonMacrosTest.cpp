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

class CarbonMacros : public testing::Test {
  protected:
    WindowRef w = nullptr;
    void SetUp() override {
        ASSERT_NE(dlopen(TEST_DIALOGS_BUNDLE "/Contents/Linux/TestDialogs.so", RTLD_NOW), nullptr);
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
    SelectTextByIDForControl(w, FourCC("Edit"), 1, 1, 2);
    ControlEditTextSelectionRec sel;
    GetControlData(SimpleGetControlByID(w, FourCC("Edit"), 1), 0, kControlEditTextSelectionTag, sizeof sel,
                   &sel, nullptr);
    EXPECT_EQ(sel.selStart, 1);
    EXPECT_EQ(sel.selEnd, 2);
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

TEST_F(CarbonMacros, HelpersThatAllowForAMissingControlDoNothing) {
    const UInt32 none = FourCC("None");
    SimpleSetControlText(w, none, 1, PString("x"));
    SimpleShowControl(w, none, 1);
    SimpleHideControl(w, none, 1);
    SetEditTextForControl(PString("x"), w, none, 1);
    SetEditTextToNumberForControl(5, w, none, 1);
    EXPECT_EQ(GetEditTextFromControl(w, none, 1).Length(), 0);
    EXPECT_EQ(GetNumberFromEditTextControl(w, none, 1), 0);
    EXPECT_EQ(SimpleGetControlByID(w, none, 1), nullptr);
}

TEST_F(CarbonMacros, ValuesVisibilityAndEnabledStateByID) {
    const UInt32 slider = FourCC("Sldr");
    SimpleSetControlValueByID(w, slider, 1, -4);
    EXPECT_EQ(SimpleGetControlValueByID(w, slider, 1), -4);
    SimpleHideControl(w, slider, 1);
    EXPECT_FALSE(IsControlVisible(SimpleGetControlByID(w, slider, 1)));
    SimpleShowControl(w, slider, 1);
    EXPECT_TRUE(IsControlVisible(SimpleGetControlByID(w, slider, 1)));
    SimpleDisableControlByID(w, slider, 1);
    EXPECT_EQ(GetControlHilite(SimpleGetControlByID(w, slider, 1)), kControlDisabledPart);
    SimpleEnableControlByID(w, slider, 1);
    EXPECT_EQ(GetControlHilite(SimpleGetControlByID(w, slider, 1)), 0);
    Rect box = GetControlBox(SimpleGetControlByID(w, slider, 1));
    EXPECT_EQ(box.left, 10);
    EXPECT_EQ(box.bottom, 132);
}

TEST_F(CarbonMacros, PopupItemsAreFoundByTextAndPosition) {
    const UInt32 font = FourCC("Font");
    EXPECT_EQ(Text(GetSelectedPopupTextFromID(w, font, 1)), "DejaVu Sans");
    EXPECT_EQ(GetFontIDFromPopup(w, font, 1), 1);
    EXPECT_EQ(Text(GetIndexedPopupTextFromID(w, font, 1, 3)), "Twice");
    EXPECT_EQ(FindNameInPopupByID(w, font, 1, PString("Twice")), 3); // the first of two
    EXPECT_EQ(FindNameInPopupByID(w, font, 1, PString("Nope")), 1);
    EXPECT_EQ(FindNameInPopupByID(w, font, 1, PString("nope")), -1); // case matters
    EXPECT_EQ(FindNameInPopupByID(w, font, 1, PString("Twic")), -1);
    EXPECT_EQ(FindNameInPopupByID(w, FourCC("Empt"), 1, PString("")), -1);
    SimpleSetControlValueByID(w, font, 1, 1);
    EXPECT_EQ(GetFontIDFromPopup(w, font, 1), kInvalidFontFamily);
    EXPECT_EQ(Text(CommandID2Str(FourCC("ok  "))), "ok  ");
}

struct Seen {
    std::vector<Point> mouse;
    std::vector<WindowRef> windows;
    std::vector<UInt32> modifiers;
    std::vector<std::string> keys;
    std::vector<std::string> controlKeys;
    std::vector<UInt32> appCommands;
};

OSStatus MouseHandler(EventHandlerCallRef, EventRef event, void* data) {
    auto* seen = static_cast<Seen*>(data);
    seen->mouse.push_back(GetMouseLocFromEvent(event));
    seen->windows.push_back(GetWindowFromEvent(event));
    seen->modifiers.push_back((IsShiftDown() ? shiftKey : 0) | (IsOptionDown() ? optionKey : 0) |
                              (IsCtrlDown() ? controlKey : 0) | (IsCommandDown() ? cmdKey : 0));
    return noErr;
}

OSStatus KeyHandler(EventHandlerCallRef, EventRef event, void* data) {
    char key = 0;
    UInt32 code = 0, mods = 0;
    GetWindowKeyboardDataFromEvent(event, key, code, mods);
    static_cast<Seen*>(data)->keys.push_back(std::string(1, key) + ":" + std::to_string(code) + ":" +
                                             std::to_string(mods));
    if (code == 53) QuitAppModalLoopForWindow(GetWindowFromEvent(event));
    return eventNotHandledErr;
}

OSStatus ControlKeyHandler(EventHandlerCallRef, EventRef event, void* data) {
    char key = 0;
    UInt32 code = 0, mods = 0;
    GetWindowKeyboardDataFromEvent(event, key, code, mods);
    static_cast<Seen*>(data)->controlKeys.push_back(std::string(1, key));
    return eventNotHandledErr;
}

OSStatus AppCommandHandler(EventHandlerCallRef, EventRef event, void* data) {
    HICommand command;
    GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr,
                      &command);
    static_cast<Seen*>(data)->appCommands.push_back(command.commandID);
    return noErr;
}

TEST_F(CarbonMacros, HandlersOnEachTargetSeeTheMouseKeysAndModifiers) {
    Seen seen;
    const EventTypeSpec mouse{kEventClassMouse, kEventMouseDown}, key{kEventClassKeyboard, kEventRawKeyDown},
        command{kEventClassCommand, kEventCommandProcess};
    InstallWindowEventHandler(w, MouseHandler, 1, &mouse, &seen, nullptr);
    InstallWindowEventHandler(w, KeyHandler, 1, &key, &seen, nullptr);
    InstallControlEventHandler(SimpleGetControlByID(w, FourCC("Edit"), 1), ControlKeyHandler, 1, &key, &seen,
                               nullptr);
    EventHandlerRef appHandler = nullptr;
    InstallApplicationEventHandler(AppCommandHandler, 1, &command, &seen, &appHandler);
    InstallMenuEventHandler(GetControlPopupMenuHandle(SimpleGetControlByID(w, FourCC("Font"), 1)),
                            AppCommandHandler, 1, &command, &seen, nullptr);
    SetKeyboadFocusByID(w, FourCC("Edit"), 1);
    std::string error;
    toolbox::UseScriptText("click 250 150 shift control\nclick 7 9 command option\ntype q\nkey escape\n",
                           error);
    ShowWindow(w);
    RunAppModalLoopForWindow(w);
    ASSERT_EQ(seen.mouse.size(), 2u);
    EXPECT_EQ(seen.mouse[1].h, 7);
    EXPECT_EQ(seen.mouse[1].v, 9);
    EXPECT_EQ(seen.windows[0], w);
    EXPECT_EQ(seen.modifiers, (std::vector<UInt32>{shiftKey | controlKey, cmdKey | optionKey}));
    EXPECT_EQ(seen.controlKeys, (std::vector<std::string>{"q", "\x1B"}));
    EXPECT_EQ(seen.keys, (std::vector<std::string>{"q:0:0", "\x1B:53:0"}));
    PostCommand(PString("Appl"));
    EXPECT_EQ(seen.appCommands, (std::vector<UInt32>{FourCC("Appl")}));
    RemoveEventHandler(appHandler);
}

} // namespace

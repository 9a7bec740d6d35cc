// The control and window helpers on the test bundle's "helpers" window.
#include "util/CarbonMacros.h"
#include "util/commonprocs.h"

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

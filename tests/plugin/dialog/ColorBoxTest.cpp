// The colour box through the script source: its swatch, the picker's choices and cancels.
#include "DialogSupport.h"

using namespace dialogtest;

namespace {

using ColorBox = ControlsWindow;

// Picker window: red, green and blue sliders at rows 63, 95, 127 across columns 190..360.
constexpr const char* kGreenAndBlueUp = "drag 195 95 379 95\ndrag 195 127 379 127\n";

} // namespace

TEST_F(ColorBox, ValueDrawsAsAFramedSwatchAndDisabledBoxesShowNoColour) {
    Run("");
    const Px orange{255, 255, 128, 0}; // 16744448 is (65280, 32768, 0)
    EXPECT_EQ(At(21, 21), orange);
    EXPECT_EQ(At(58, 48), orange);
    EXPECT_EQ(At(20, 20), kBlack);
    EXPECT_EQ(At(59, 35), kBlack);
    EXPECT_EQ(At(40, 49), kBlack);
    EXPECT_EQ(At(60, 35), At(10, 10)); // outside: background
    // The disabled box is erased to the background, frame and all.
    const Px background = At(10, 10);
    for (int v : {20, 35, 49})
        for (int h : {80, 100, 119})
            EXPECT_EQ(At(h, v), background) << h << "," << v;
}

TEST_F(ColorBox, PickedColoursBecomeTheValueWithTheLowBytesDropped) {
    Run(std::string("press Colr 1\n") + kGreenAndBlueUp +
        "press Pbtn 1\n"
        "expect value Colr 1 16777215\n"
        "press Colr 1\n"
        "drag 355 95 100 95\n"
        "press Pbtn 1\n"
        "expect value Colr 1 16711935\n"
        "key escape\n");
    EXPECT_EQ(GetControl32BitValue(Control("Colr", 1)), 16711935); // (65535, 0, 65535)
    EXPECT_EQ(At(30, 30), (Px{255, 255, 0, 255}));
}

TEST_F(ColorBox, CancellingThePickerKeepsTheValueAndTheSwatch) {
    const std::string err = Run(std::string("press Colr 1\n") + kGreenAndBlueUp +
                                "press Pbtn 2\n"
                                "press Colr 1\n" +
                                kGreenAndBlueUp + "key escape\n");
    EXPECT_EQ(GetControl32BitValue(Control("Colr", 1)), 16744448);
    EXPECT_EQ(At(30, 30), (Px{255, 255, 128, 0}));
    EXPECT_EQ(err.find("no more steps; the window \"colour picker\""), std::string::npos) << err;
}

TEST_F(ColorBox, ChoosingAtOnceKeepsTheValueAndAnUnansweredPickerChoosesNothing) {
    // The picker starts from the value, so choosing at once keeps it.
    Run("press Colr 1\npress Pbtn 1\nkey escape\n");
    EXPECT_EQ(GetControl32BitValue(Control("Colr", 1)), 16744448);
    EXPECT_EQ(GetControl32BitValue(Control("Colr", 2)), 16744448);
    RGBColor out{1, 2, 3};
    std::string error;
    ASSERT_TRUE(toolbox::UseScriptText("key escape\n", error));
    testing::internal::CaptureStderr();
    EXPECT_FALSE(UseColorPicker(Point{0, 0}, (const unsigned char*)"\x05Pick!", RGBColor{1, 2, 3}, out));
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(out.red, 1); // left alone
}

TEST(ColorBoxClass, WindowsFindTheClassOnlyWhileItIsRegistered) {
    IBNibRef nib = nullptr;
    ASSERT_EQ(toolbox::CreateNibReferenceFromFile(DIALOG_TEST_DIR "/controls.json", &nib), noErr);
    WindowRef w = nullptr;
    RegisterPictureControl();
    testing::internal::CaptureStderr();
    EXPECT_NE(CreateWindowFromNib(nib, CFSTR("boxes"), &w), noErr);
    testing::internal::GetCapturedStderr();
    RegisterColorBox();
    EXPECT_EQ(CreateWindowFromNib(nib, CFSTR("boxes"), &w), noErr);
    DisposeWindow(w);
    UnregisterColorBox();
    UnregisterColorBox(); // twice is harmless
    testing::internal::CaptureStderr();
    EXPECT_NE(CreateWindowFromNib(nib, CFSTR("boxes"), &w), noErr);
    testing::internal::GetCapturedStderr();
    UnregisterPictureControl();
    DisposeNibReference(nib);
}

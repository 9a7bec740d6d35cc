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

// A cancelled picker keeps the value; a picked colour becomes it, with the low bytes dropped.
TEST_F(ColorBox, PickedColoursBecomeTheValueAndCancelledOnesDoNot) {
    const std::string err = Run(std::string("press Colr 1\n") + kGreenAndBlueUp + "press Pbtn 2\n" +
                                "expect value Colr 1 16744448\n"
                                "press Colr 1\n" +
                                kGreenAndBlueUp + "key escape\n" + "expect value Colr 1 16744448\n" +
                                "press Colr 1\n" + kGreenAndBlueUp +
                                "press Pbtn 1\n"
                                "expect value Colr 1 16777215\n"
                                "press Colr 1\n"
                                "drag 355 95 100 95\n"
                                "press Pbtn 1\n"
                                "key escape\n");
    EXPECT_EQ(GetControl32BitValue(Control("Colr", 1)), 16711935); // (65535, 0, 65535)
    EXPECT_EQ(At(30, 30), (Px{255, 255, 0, 255}));
    EXPECT_EQ(err.find("no more steps; the window \"colour picker\""), std::string::npos) << err;
}

// The picture control: the fitted, centred image in its framed box, the pressed state, and
// disabled controls that leave the screen alone.
#include "DialogSupport.h"

#include <vector>

using namespace dialogtest;

namespace {

using PictureControl = ControlsWindow;

const Px kRed{255, 255, 0, 0}, kCyan{255, 0, 255, 255};

std::vector<Px> gPressed; // column 190 of the picture while it is drawn pressed

OSStatus RecordPressed(EventHandlerCallRef call, EventRef event, void*) {
    const OSStatus result = CallNextEventHandler(call, event);
    ControlRef c = nullptr;
    GetEventParameter(event, kEventParamDirectObject, typeControlRef, nullptr, sizeof c, nullptr, &c);
    if (GetControlHilite(c) > 0 && gPressed.empty())
        for (int v = 20; v < 120; ++v)
            gPressed.push_back(PixelOf(GetWindowPort(GetControlOwner(c)), 190, v));
    return result;
}

} // namespace

TEST_F(PictureControl, NoImageDrawsAWhiteBoxWithABlackFrame) {
    SetControl32BitValue(Control("Pict", 1), 77); // a value never handed out: no image
    Run("");
    for (int v : {21, 70, 118})
        for (int h : {141, 190, 238})
            EXPECT_EQ(At(h, v), kWhite) << h << "," << v;
    for (auto [h, v] : {std::pair{140, 20}, {239, 119}, {190, 20}, {140, 70}, {239, 70}, {190, 119}})
        EXPECT_EQ(At(h, v), kBlack) << h << "," << v;
}

// A wide image is fitted and centred with white above and below; pressed, the control is drawn
// inverted, and plain again once released.
TEST_F(PictureControl, WideImageIsFittedAndCentredAndInvertedWhilePressed) {
    CGImageRef image = MakeImage(400, 200, kRed);
    SetControl32BitValue(Control("Pict", 1), PictureValueForImage(image));
    EXPECT_EQ(PictureImageForValue(PictureValueForImage(image)), image);
    static const EventTypeSpec kDraw{kEventClassControl, kEventControlDraw};
    InstallEventHandler(GetControlEventTarget(Control("Pict", 1)), RecordPressed, 1, &kDraw, nullptr,
                        nullptr);
    gPressed.clear();
    Run("press Pict 1\n");
    ASSERT_EQ(gPressed.size(), 100u);
    EXPECT_EQ(gPressed[0], kWhite);  // the frame
    EXPECT_EQ(gPressed[10], kBlack); // white above the image
    EXPECT_EQ(gPressed[50], kCyan);  // the red image
    // 100 x 50, rows 45..94 of the box's rows 20..119: 25 rows above (the top one the frame).
    for (int v = 21; v < 119; ++v) {
        const bool inImage = v >= 45 && v < 95;
        ASSERT_EQ(At(190, v), inImage ? kRed : kWhite) << v;
        ASSERT_EQ(At(141, v), inImage ? kRed : kWhite) << v;
        ASSERT_EQ(At(238, v), inImage ? kRed : kWhite) << v;
    }
    EXPECT_EQ(At(140, 70), kBlack); // the frame is drawn over the image
    EXPECT_EQ(At(190, 119), kBlack);
    CGImageRelease(image);
}

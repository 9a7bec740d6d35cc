// The about window from the built bundle's description, closed by its two commands.
#include "dialog/aboutWindow.h"

#include "DialogSupport.h"

namespace {

OSStatus SendCommand(UInt32 commandID) {
    return testsupport::SendCommandTo(AboutDialogHandler, commandID);
}

} // namespace

TEST(AboutWindow, ShowsNameAndVersionAndClosesByEitherCommandFreshEachTime) {
    dialogtest::LoadPluginBundle();
    GWorldPtr gw = nullptr;
    const Rect r{0, 0, 4, 4};
    ASSERT_EQ(NewGWorld(&gw, 32, &r, nullptr, nullptr, 0), noErr);
    SetGWorld(gw, nullptr);
    for (const char* close : {"press Okay 1", "key return", "key escape"}) {
        const std::string err = dialogtest::WithScript(
            "expect text Plug 1 Umbrawash\nexpect text Vers 1 Version 3.0.0 (i386 Universal)\n" +
                std::string(close) + "\n",
            ShowAbout);
        EXPECT_EQ(err.find("no more steps"), std::string::npos) << close << ": " << err;
        CGrafPtr port;
        GDHandle device;
        GetGWorld(&port, &device);
        EXPECT_EQ(port, gw) << close;
    }
    DisposeGWorld(gw);
}

TEST(AboutWindow, OnlyTheExactCommandsAreRecognised) {
    EXPECT_EQ(SendCommand(FourCC("ok  ")), noErr);
    EXPECT_EQ(SendCommand(FourCC("not!")), noErr);
    EXPECT_EQ(SendCommand(0x6F6B2000), eventNotHandledErr); // o, k, one space
    EXPECT_EQ(SendCommand(FourCC("OK  ")), eventNotHandledErr);
    EXPECT_EQ(SendCommand(FourCC("Info")), eventNotHandledErr);
}

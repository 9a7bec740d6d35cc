// What the dialog control tests share: the test window with colour boxes and picture
// controls, run under a script, and pixel probes of its port.
#pragma once

#include "ModalScript.h"

#include "dialog/colorCTRL.h"
#include "dialog/pictCTRL.h"

#include "toolbox/Controls.h"
#include "toolbox/InputSources.h"
#include "toolbox/Nib.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace dialogtest {

using Px = std::array<int, 4>; // alpha, red, green, blue

inline Px PortPixel(CGrafPtr port, int h, int v) {
    PixMapHandle pm = GetGWorldPixMap(port);
    const UInt8* p = reinterpret_cast<const UInt8*>(GetPixBaseAddr(pm)) + v * GetPixRowBytes(pm) + 4 * h;
    return {p[0], p[1], p[2], p[3]};
}

class ControlsWindow : public testing::Test {
  protected:
    IBNibRef nib = nullptr;
    WindowRef window = nullptr;

    void SetUp() override {
        RegisterColorBox();
        RegisterPictureControl();
        ASSERT_EQ(toolbox::CreateNibReferenceFromFile(DIALOG_TEST_DIR "/controls.json", &nib), noErr);
        ASSERT_EQ(CreateWindowFromNib(nib, CFSTR("boxes"), &window), noErr);
    }

    void TearDown() override {
        DisposeWindow(window);
        DisposeNibReference(nib);
        UnregisterPictureControl();
        UnregisterColorBox();
    }

    ControlRef Control(const char (&sig)[5], SInt32 id) {
        const ControlID cid{FourCC(sig), id};
        ControlRef c = nullptr;
        GetControlByID(window, &cid, &c);
        return c;
    }

    Px At(int h, int v) { return PortPixel(GetWindowPort(window), h, v); }

    // Runs the window's modal loop over the script; returns what went to standard error.
    std::string Run(const std::string& script) { return testsupport::RunModalScript(window, script); }
};

const Px kWhite{255, 255, 255, 255}, kBlack{255, 0, 0, 0};

} // namespace dialogtest

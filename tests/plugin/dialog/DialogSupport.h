// What the dialog tests share: the plug-in's bundle, input scripts, a window of controls.json
// with the plug-in's control classes registered, and pixel probes of a port.
#pragma once

#include "../PaddedBuffer.h"
#include "ModalScript.h"
#include "TestPaths.h"

#include "dialog/clipCTRL.h"
#include "dialog/colorCTRL.h"
#include "dialog/pictCTRL.h"

#include "toolbox/Controls.h"
#include "toolbox/InputSources.h"
#include "toolbox/Nib.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <string>

namespace dialogtest {

using Px = PixRec;

// Loads the built bundle, where the plug-in's windows find their descriptions.
inline void LoadPluginBundle() {
    static void* handle = dlopen((testpaths::Bundle() + "/Contents/Linux/Umbrawash.so").c_str(), RTLD_NOW);
    ASSERT_NE(handle, nullptr) << dlerror();
}

// Runs fn with the script as the user's input; every script check must pass. Returns what
// went to standard error.
template <typename Fn>
std::string WithScript(const std::string& script, Fn fn) {
    std::string error;
    EXPECT_TRUE(toolbox::UseScriptText(script, error)) << error;
    const int failuresBefore = toolbox::ScriptFailures();
    testing::internal::CaptureStderr();
    fn();
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(toolbox::ScriptFailures(), failuresBefore) << err;
    return err;
}

// The window windowName of controls.json ("boxes" unless a fixture sets another first).
class ControlsWindow : public testing::Test {
  protected:
    const char* windowName = "boxes";
    IBNibRef nib = nullptr;
    WindowRef window = nullptr;

    void SetUp() override {
        RegisterColorBox();
        RegisterPictureControl();
        RegisterClipCtrl();
        ASSERT_EQ(toolbox::CreateNibReferenceFromFile(DIALOG_TEST_DIR "/controls.json", &nib), noErr);
        CFStringRef name = CFStringCreateWithCString(nullptr, windowName, kCFStringEncodingUTF8);
        ASSERT_EQ(CreateWindowFromNib(nib, name, &window), noErr);
        CFRelease(name);
    }

    void TearDown() override {
        DisposeWindow(window);
        DisposeNibReference(nib);
        UnregisterClipCtrl();
        UnregisterPictureControl();
        UnregisterColorBox();
    }

    ControlRef Control(const char (&sig)[5], SInt32 id) {
        const ControlID cid{FourCC(sig), id};
        ControlRef c = nullptr;
        GetControlByID(window, &cid, &c);
        return c;
    }

    Px At(int h, int v) { return PixelOf(GetWindowPort(window), h, v); }

    // Runs the window's modal loop over the script; returns what went to standard error.
    std::string Run(const std::string& script) { return testsupport::RunModalScript(window, script); }
};

const Px kWhite{255, 255, 255, 255}, kBlack{255, 0, 0, 0};

} // namespace dialogtest

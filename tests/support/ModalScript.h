// Runs a window's modal loop over script steps, as the window and dialog tests do.
#pragma once

#include "toolbox/InputSources.h"
#include "toolbox/MacWindows.h"

#include <gtest/gtest.h>

#include <string>

namespace testsupport {

// Shows the window and runs its modal loop over the steps; every script check must pass.
// Returns what went to standard error.
inline std::string RunModalScript(WindowRef window, const std::string& script) {
    std::string error;
    EXPECT_TRUE(toolbox::UseScriptText(script, error)) << error;
    const int failuresBefore = toolbox::ScriptFailures();
    testing::internal::CaptureStderr();
    ShowWindow(window);
    RunAppModalLoopForWindow(window);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(toolbox::ScriptFailures(), failuresBefore) << err;
    return err;
}

} // namespace testsupport

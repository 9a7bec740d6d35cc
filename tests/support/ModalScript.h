// Drives windows as the window and dialog tests do: a modal loop over script steps, and
// command events handed straight to a handler.
#pragma once

#include "toolbox/CarbonEvents.h"
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

// Hands the handler a command-process event for commandID; returns what the handler answered.
inline OSStatus SendCommandTo(EventHandlerProcPtr handler, UInt32 commandID) {
    EventRef event = nullptr;
    CreateEvent(nullptr, kEventClassCommand, kEventCommandProcess, 0, 0, &event);
    HICommand command{};
    command.commandID = commandID;
    SetEventParameter(event, kEventParamDirectObject, typeHICommand, sizeof command, &command);
    const OSStatus result = handler(nullptr, event, nullptr);
    ReleaseEvent(event);
    return result;
}

} // namespace testsupport

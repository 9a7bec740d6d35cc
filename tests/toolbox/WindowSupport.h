// What the window tests share: the test bundle, a recorded custom control class, and a
// window from the test description run under a script.
#pragma once

#include "ModalScript.h"

#include "toolbox/CFBundle.h"
#include "toolbox/Controls.h"
#include "toolbox/InputSources.h"
#include "toolbox/MacWindows.h"
#include "toolbox/Nib.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace windowtest {

inline std::string Code(UInt32 c) {
    return {char(c >> 24), char(c >> 16), char(c >> 8), char(c)};
}

// The test bundle, loaded on first use.
inline CFBundleRef TestBundle() {
    static void* handle = dlopen(TEST_DIALOGS_BUNDLE "/Contents/Linux/TestDialogs.so", RTLD_NOW);
    EXPECT_NE(handle, nullptr) << dlerror();
    return CFBundleGetBundleWithIdentifier(CFSTR("com.quorvel.test.dialogs"));
}

inline const EventTypeSpec kCommandEvent{kEventClassCommand, kEventCommandProcess};

using Spot = std::pair<int, int>; // h, v

// What the custom class and the handlers saw.
struct Record {
    std::vector<std::string> commands;  // "window:Aply", "app:Aply"
    std::vector<EventKind> customKinds; // every kind the class handler received
    std::vector<Spot> hitTests, tracks;
    std::vector<UInt32> trackModifiers;
    std::vector<MouseTrackingResult> trackResults;
    std::vector<SInt32> sliderSteps;
    IBNibRef nib = nullptr;
    long Count(EventKind kind) const { return std::count(customKinds.begin(), customKinds.end(), kind); }
};

inline Record* gRecord = nullptr;

template <typename T>
T Param(EventRef event, EventParamName name, EventParamType type) {
    T value{};
    GetEventParameter(event, name, type, nullptr, sizeof value, nullptr, &value);
    return value;
}

// The custom class: yellow, or blue while its value is 1; tracking records the mouse until
// it comes up, then toggles the value.
inline OSStatus BoxHandler(EventHandlerCallRef, EventRef event, void*) {
    gRecord->customKinds.push_back(GetEventKind(event));
    auto c = Param<ControlRef>(event, kEventParamDirectObject, typeControlRef);
    Rect bounds;
    GetControlBounds(c, &bounds);
    switch (GetEventKind(event)) {
        case kEventControlDraw: {
            RGBColor color = GetControl32BitValue(c) ? RGBColor{0, 0, 0xFFFF} : RGBColor{0xFFFF, 0xFFFF, 0};
            SetPortWindowPort(GetControlOwner(c));
            RGBForeColor(&color);
            PaintRect(&bounds);
            return noErr;
        }
        case kEventControlHitTest: {
            auto where = Param<Point>(event, kEventParamMouseLocation, typeQDPoint);
            gRecord->hitTests.push_back({where.h, where.v});
            ControlPartCode part = PtInRect(where, &bounds) ? 1 : 0;
            SetEventParameter(event, kEventParamControlPart, typeControlPartCode, sizeof part, &part);
            return noErr;
        }
        case kEventControlTrack: {
            auto where = Param<Point>(event, kEventParamMouseLocation, typeQDPoint);
            gRecord->tracks.push_back({where.h, where.v});
            gRecord->trackModifiers.push_back(Param<UInt32>(event, kEventParamKeyModifiers, typeUInt32));
            MouseTrackingResult result = kMouseTrackingMouseDown;
            while (result != kMouseTrackingMouseUp) {
                TrackMouseLocation(GetWindowPort(GetControlOwner(c)), &where, &result);
                gRecord->trackResults.push_back(result);
                gRecord->tracks.push_back({where.h, where.v});
            }
            SetControl32BitValue(c, 1 - GetControl32BitValue(c));
            return noErr;
        }
        default:
            return eventNotHandledErr;
    }
}

inline OSStatus AppHandler(EventHandlerCallRef, EventRef event, void*) {
    auto command = Param<HICommand>(event, kEventParamDirectObject, typeHICommand);
    gRecord->commands.push_back("app:" + Code(command.commandID));
    return eventNotHandledErr;
}

// Window handler: records, ends on OK and Cancel, opens the inner window on "Nest".
OSStatus WindowHandler(EventHandlerCallRef call, EventRef event, void* userData);

// The window "every" of the test description, with the custom class registered for draw, hit
// test, hit and track, and handlers that record commands on the window and the application.
class WindowFixture : public testing::Test {
  protected:
    Record record;
    IBNibRef nib = nullptr;
    WindowRef window = nullptr;
    ToolboxObjectClassRef boxClass = nullptr;
    EventHandlerRef appHandler = nullptr;

    void SetUp() override {
        gRecord = &record;
        RegisterBox(kEventControlTrack);
        ASSERT_EQ(CreateNibReferenceWithCFBundle(TestBundle(), CFSTR("dialogs"), &nib), noErr);
        Reopen();
        InstallEventHandler(GetApplicationEventTarget(), AppHandler, 1, &kCommandEvent, nullptr, &appHandler);
    }

    // A fresh window, and nothing recorded yet.
    void Reopen() {
        DisposeWindow(window);
        record = Record{};
        record.nib = nib;
        ASSERT_EQ(CreateWindowFromNib(nib, CFSTR("every"), &window), noErr);
        InstallEventHandler(GetWindowEventTarget(window), WindowHandler, 1, &kCommandEvent, window, nullptr);
    }

    // The class gets draw, hit test, hit and the given fourth kind of event.
    void RegisterBox(EventKind fourth) {
        if (boxClass) UnregisterToolboxObjectClass(boxClass);
        const EventTypeSpec kinds[] = {{kEventClassControl, kEventControlDraw},
                                       {kEventClassControl, kEventControlHitTest},
                                       {kEventClassControl, kEventControlHit},
                                       {kEventClassControl, fourth}};
        ASSERT_EQ(RegisterToolboxObjectClass(CFSTR("com.quorvel.test.box"), nullptr, 4, kinds,
                                             NewEventHandlerUPP(BoxHandler), nullptr, &boxClass),
                  noErr);
    }

    void TearDown() override {
        DisposeWindow(window);
        DisposeNibReference(nib);
        RemoveEventHandler(appHandler);
        UnregisterToolboxObjectClass(boxClass);
        gRecord = nullptr;
    }

    // Runs the window's modal loop over the script; returns what went to standard error.
    std::string Run(const std::string& script) { return testsupport::RunModalScript(window, script); }

    ControlRef Control(const char (&signature)[5], SInt32 id) {
        ControlID cid{FourCC(signature), id};
        ControlRef c = nullptr;
        GetControlByID(window, &cid, &c);
        return c;
    }
};

} // namespace windowtest

// window_demo: opens the test description's window with every control kind, lets a user
// (or a script) work it, and writes the window as a PNG when it closes.
//
//   window_demo --windows OUT.png        in a real window (SDL2)
//   window_demo --script FILE OUT.png    headless, from a script
//
// Exit status 0, 1 when a script check failed or the PNG could not be written, 2 on bad usage.
#include "toolbox/CFBundle.h"
#include "toolbox/Controls.h"
#include "toolbox/InputSources.h"
#include "toolbox/MacWindows.h"
#include "toolbox/Nib.h"

#include <dlfcn.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

namespace {

WindowRef gWindow = nullptr;

// The custom control: white, or blue while its value is 1; a click that ends inside it (the
// toolbox tracks it) toggles the value.
OSStatus BoxHandler(EventHandlerCallRef, EventRef event, void*) {
    ControlRef c = nullptr;
    GetEventParameter(event, kEventParamDirectObject, typeControlRef, nullptr, sizeof c, nullptr, &c);
    switch (GetEventKind(event)) {
        case kEventControlDraw: {
            const RGBColor white{0xFFFF, 0xFFFF, 0xFFFF}, blue{0x2000, 0x4000, 0xE000};
            Rect r;
            GetControlBounds(c, &r);
            SetPortWindowPort(GetControlOwner(c));
            RGBForeColor(GetControl32BitValue(c) ? &blue : &white);
            PaintRect(&r);
            return noErr;
        }
        case kEventControlHitTest: {
            ControlPartCode part = 1;
            SetEventParameter(event, kEventParamControlPart, typeControlPartCode, sizeof part, &part);
            return noErr;
        }
        case kEventControlHit:
            SetControl32BitValue(c, 1 - GetControl32BitValue(c));
            return noErr;
        default:
            return eventNotHandledErr;
    }
}

OSStatus CommandHandler(EventHandlerCallRef, EventRef event, void*) {
    HICommand command;
    GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr,
                      &command);
    if (command.commandID != FourCC("ok  ") && command.commandID != FourCC("not!")) return eventNotHandledErr;
    QuitAppModalLoopForWindow(gWindow);
    return noErr;
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "window_demo: %s\n", message.c_str());
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (!(mode == "--windows" && argc == 3) && !(mode == "--script" && argc == 4)) {
        std::fputs("usage: window_demo (--windows | --script FILE) OUT.png\n", stderr);
        return 2;
    }
    const std::string png = argv[argc - 1];
    std::string error;
    if (mode == "--windows") {
        if (!toolbox::UseWindowInput(error)) return Fail(error);
    } else if (std::ifstream steps(argv[2]); !steps) {
        return Fail(std::string("cannot read the script ") + argv[2]);
    } else if (!toolbox::UseScriptText(std::string(std::istreambuf_iterator<char>(steps), {}), error)) {
        return Fail(error);
    }
    if (!dlopen(TEST_DIALOGS_BUNDLE "/Contents/Linux/TestDialogs.so", RTLD_NOW)) return Fail(dlerror());
    const EventTypeSpec boxEvents[] = {{kEventClassControl, kEventControlDraw},
                                       {kEventClassControl, kEventControlHitTest},
                                       {kEventClassControl, kEventControlHit}};
    ToolboxObjectClassRef boxClass = nullptr;
    RegisterToolboxObjectClass(CFSTR("com.quorvel.test.box"), nullptr, 3, boxEvents, BoxHandler, nullptr,
                               &boxClass);
    IBNibRef nib = nullptr;
    CFBundleRef bundle = CFBundleGetBundleWithIdentifier(CFSTR("com.quorvel.test.dialogs"));
    if (CreateNibReferenceWithCFBundle(bundle, CFSTR("dialogs"), &nib) != noErr ||
        CreateWindowFromNib(nib, CFSTR("every"), &gWindow) != noErr)
        return 1;
    const EventTypeSpec command{kEventClassCommand, kEventCommandProcess};
    InstallEventHandler(GetWindowEventTarget(gWindow), CommandHandler, 1, &command, nullptr, nullptr);
    ShowWindow(gWindow);
    RunAppModalLoopForWindow(gWindow);
    const bool saved = toolbox::WritePortPNG(GetWindowPort(gWindow), png, error);
    if (!saved) Fail(error);
    DisposeWindow(gWindow);
    DisposeNibReference(nib);
    UnregisterToolboxObjectClass(boxClass);
    return saved && toolbox::ScriptFailures() == 0 ? 0 : 1;
}

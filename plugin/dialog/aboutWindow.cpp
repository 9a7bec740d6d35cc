// Opens the about window from the bundle's "about" description, runs its modal loop until
// one of its two commands arrives, and disposes of it.
#include "dialog/aboutWindow.h"

#include "dialog/configdlghandler.h"
#include "util/CarbonMacros.h"
#include "util/commonprocs.h"

#include "toolbox/MacWindows.h"

namespace {

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
constexpr const char* kVersionText = "Version 3.0.0 (PPC Universal)";
#else
constexpr const char* kVersionText = "Version 3.0.0 (i386 Universal)";
#endif

enum : SInt16 { kAboutOK = 1, kAboutCancel = 2 };

WindowRef lgTheWindow = nullptr;
SInt16 lgItemHit = -1;

} // namespace

void ShowAbout() {
    SavedGWorldRec saved;
    lgTheWindow = OpenNibWindowFromCFBundle(kPluginBundleID, "about", "about");
    if (!lgTheWindow) return;

    const EventTypeSpec commandEvent{kEventClassCommand, kEventCommandProcess};
    EventHandlerUPP theUPP = NewEventHandlerUPP(AboutDialogHandler);
    InstallEventHandler(GetWindowEventTarget(lgTheWindow), theUPP, 1, &commandEvent, lgTheWindow, nullptr);
    SimpleSetControlText(lgTheWindow, FourCC("Plug"), 1, PString("Umbrawash"));
    SimpleSetControlText(lgTheWindow, FourCC("Vers"), 1, PString(kVersionText));

    ShowWindow(lgTheWindow);
    BringToFront(lgTheWindow);
    RunAppModalLoopForWindow(lgTheWindow);

    DisposeWindow(lgTheWindow);
    lgTheWindow = nullptr;
    DisposeEventHandlerUPP(theUPP);
}

OSStatus AboutDialogHandler(EventHandlerCallRef, EventRef theEvent, void* userData) {
    HICommand theCommand{};
    GetEventParameter(theEvent, kEventParamDirectObject, typeHICommand, nullptr, sizeof theCommand, nullptr,
                      &theCommand);
    const PString theString = CommandID2Str(theCommand.commandID);
    lgItemHit = -1;
    if (theString == PString("ok  ")) {
        lgItemHit = kAboutOK;
        QuitAppModalLoopForWindow(static_cast<WindowRef>(userData));
        return noErr;
    }
    if (theString == PString("not!")) {
        lgItemHit = kAboutCancel;
        QuitAppModalLoopForWindow(static_cast<WindowRef>(userData));
        return noErr;
    }
    return eventNotHandledErr;
}

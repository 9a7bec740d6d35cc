// File choosers as toolbox windows: the message, the path field, a status line for a path
// that cannot be opened, and the action and Cancel buttons.
#include "toolbox/Navigation.h"

#include "../corefoundation/CFObject.h"
#include "../hitoolbox/HIObjects.h"
#include "../ToolboxState.h"
#include "toolbox/TextUtils.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstring>

struct OpaqueNavDialogRef {
    bool save = false;
    std::string message, action, cancel, proposed; // UTF-8
    WindowRef window = nullptr;
    NavUserAction userAction = kNavUserActionNone;
    std::string path;
    bool replacing = false;
};

namespace {

using namespace toolbox;
using namespace toolbox::hi;

constexpr UInt32 kOK = FourCC("ok  "), kCancel = FourCC("not!");
constexpr OSType kPathField = FourCC("Path"), kStatus = FourCC("Stat");

std::string Absolute(const std::string& path) {
    if (path.empty() || path[0] == '/') return path;
    char cwd[PATH_MAX];
    return getcwd(cwd, sizeof cwd) ? std::string(cwd) + "/" + path : path;
}

bool IsFile(const std::string& path, bool& exists) {
    struct stat st;
    exists = ::stat(path.c_str(), &st) == 0;
    return exists && S_ISREG(st.st_mode);
}

OSStatus ChooserHandler(EventHandlerCallRef, EventRef event, void* userData) {
    auto* d = static_cast<OpaqueNavDialogRef*>(userData);
    HICommand command{};
    GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr,
                      &command);
    if (command.commandID == kCancel) {
        d->userAction = kNavUserActionCancel;
    } else if (command.commandID == kOK) {
        ControlRef field = FindControl(d->window, kPathField, 1);
        std::string path = Absolute(MacRomanToUtf8(field->text));
        bool exists = false, file = IsFile(path, exists);
        const char* problem = field->text.empty()          ? "Please type a path."
                              : !d->save && !file          ? "There is no file at this path."
                              : d->save && exists && !file ? "This path names a folder."
                                                           : nullptr;
        if (problem) {
            ControlRef status = FindControl(d->window, kStatus, 1);
            status->text = problem;
            Draw1Control(status);
            return noErr; // the chooser stays open
        }
        d->path = path;
        d->replacing = d->save && exists;
        d->userAction = d->save ? kNavUserActionSaveAs : kNavUserActionOpen;
    } else {
        return eventNotHandledErr;
    }
    QuitAppModalLoopForWindow(d->window);
    return noErr;
}

OSStatus Create(const NavDialogCreationOptions* options, bool save, NavDialogRef* outDialog) {
    if (!outDialog) return paramErr;
    auto* d = new OpaqueNavDialogRef;
    d->save = save;
    d->action = save ? "Save" : "Open";
    d->cancel = "Cancel";
    if (options) {
        if (options->message) d->message = CFStringToUtf8(options->message);
        if (options->actionButtonLabel) d->action = CFStringToUtf8(options->actionButtonLabel);
        if (options->cancelButtonLabel) d->cancel = CFStringToUtf8(options->cancelButtonLabel);
        if (save && options->saveFileName) d->proposed = CFStringToUtf8(options->saveFileName);
    }
    OSStatus err = noErr;
    d->window = NewWindow("file chooser", save ? "Save" : "Open", Rect{140, 200, 300, 660}, err);
    if (!d->window) {
        delete d;
        return err;
    }
    WindowRef w = d->window;
    w->defaultCommand = kOK;
    w->cancelCommand = kCancel;
    NewStandardControl(w, Kind::StaticText, FourCC("Mesg"), 1, Rect{16, 20, 36, 440},
                       Utf8ToMacRoman(d->message), 0, 0, 0, 0);
    ControlRef field = NewStandardControl(w, Kind::EditText, kPathField, 1, Rect{48, 20, 72, 440},
                                          Utf8ToMacRoman(d->proposed), 0, 0, 0, 0);
    NewStandardControl(w, Kind::StaticText, kStatus, 1, Rect{80, 20, 98, 440}, "", 0, 0, 0, 0);
    NewStandardControl(w, Kind::Button, FourCC("Nbtn"), 1, Rect{120, 340, 144, 440},
                       Utf8ToMacRoman(d->action), 0, 0, 0, kOK);
    NewStandardControl(w, Kind::Button, FourCC("Nbtn"), 2, Rect{120, 228, 144, 328},
                       Utf8ToMacRoman(d->cancel), 0, 0, 0, kCancel);
    SetKeyboardFocus(w, field, kControlFocusNextPart);
    DrawControls(w);
    static const EventTypeSpec kCommand{kEventClassCommand, kEventCommandProcess};
    InstallEventHandler(GetWindowEventTarget(w), ChooserHandler, 1, &kCommand, d, nullptr);
    *outDialog = d;
    return noErr;
}

} // namespace

extern "C" {

OSStatus NavGetDefaultDialogCreationOptions(NavDialogCreationOptions* outOptions) {
    if (!outOptions) return paramErr;
    *outOptions = NavDialogCreationOptions{};
    outOptions->location = Point{-1, -1};
    return noErr;
}

OSStatus NavCreateGetFileDialog(const NavDialogCreationOptions* inOptions, void*, void*, void*, void*, void*,
                                NavDialogRef* outDialog) {
    return Create(inOptions, false, outDialog);
}

OSStatus NavCreatePutFileDialog(const NavDialogCreationOptions* inOptions, OSType, OSType, void*, void*,
                                NavDialogRef* outDialog) {
    return Create(inOptions, true, outDialog);
}

OSStatus NavDialogRun(NavDialogRef inDialog) {
    if (!inDialog || !IsWindow(inDialog->window)) return paramErr;
    inDialog->userAction = kNavUserActionNone;
    ShowWindow(inDialog->window);
    BringToFront(inDialog->window);
    RunAppModalLoopForWindow(inDialog->window);
    HideWindow(inDialog->window);
    if (inDialog->userAction == kNavUserActionNone) inDialog->userAction = kNavUserActionCancel;
    return noErr;
}

NavUserAction NavDialogGetUserAction(NavDialogRef inDialog) {
    return inDialog ? inDialog->userAction : NavUserAction(kNavUserActionNone);
}

CFURLRef NavDialogCopyChosenURL(NavDialogRef inDialog, Boolean* outReplacing) {
    if (outReplacing) *outReplacing = false;
    if (!inDialog || inDialog->path.empty() || inDialog->userAction == kNavUserActionCancel) return nullptr;
    if (outReplacing) *outReplacing = inDialog->replacing;
    return URLForPath(inDialog->path, false);
}

OSStatus NavDialogGetReply(NavDialogRef inDialog, NavReplyRecord* outReply) {
    if (!outReply) return paramErr;
    std::memset(outReply, 0, sizeof *outReply);
    AECreateList(nullptr, 0, false, &outReply->selection);
    if (!inDialog || inDialog->path.empty() || inDialog->userAction == kNavUserActionCancel)
        return userCanceledErr;
    FSSpec spec;
    OSErr err = toolbox::FSSpecFromPath(inDialog->path, &spec);
    if (err != noErr && err != fnfErr) return err;
    AEPutPtr(&outReply->selection, 0, typeFSS, &spec, sizeof spec);
    outReply->validRecord = true;
    outReply->replacing = inDialog->save && inDialog->replacing;
    return noErr;
}

OSStatus NavDisposeReply(NavReplyRecord* inReply) {
    if (!inReply) return paramErr;
    AEDisposeDesc(&inReply->selection);
    inReply->validRecord = false;
    return noErr;
}

void NavDialogDispose(NavDialogRef inDialog) {
    if (!inDialog) return;
    DisposeWindow(inDialog->window);
    delete inDialog;
}

} // extern "C"

// File choosers as toolbox windows: the message, the path field, for an open chooser the
// files it offers, a status line for a path that cannot be opened, and the action and
// Cancel buttons.
#include "toolbox/Navigation.h"

#include "../corefoundation/CFObject.h"
#include "../files/FileIO.h"
#include "../hitoolbox/HIObjects.h"
#include "../ToolboxState.h"
#include "toolbox/LaunchServices.h"
#include "toolbox/TextUtils.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <filesystem>
#include <vector>

struct OpaqueNavDialogRef {
    bool save = false;
    std::string message, action, cancel, proposed; // UTF-8
    std::vector<OSType> types;                     // offered types; empty: every file
    WindowRef window = nullptr;
    NavUserAction userAction = kNavUserActionNone;
    std::string path;
    bool replacing = false;
};

namespace {

using namespace toolbox;
using namespace toolbox::hi;

constexpr UInt32 kOK = FourCC("ok  "), kCancel = FourCC("not!");
constexpr OSType kPathField = FourCC("Path"), kStatus = FourCC("Stat"), kList = FourCC("List");
constexpr SInt16 kListHeight = 68;

std::string CurrentFolder() {
    char cwd[PATH_MAX];
    return getcwd(cwd, sizeof cwd) ? std::string(cwd) : std::string(".");
}

std::string Absolute(const std::string& path) {
    if (path.empty() || path[0] == '/') return path;
    return CurrentFolder() + "/" + path;
}

// The type identifier for a tag of a class; the caller releases it.
CFStringRef IdentifierFor(CFStringRef tagClass, const std::string& tag) {
    CFStringRef text = CFStringCreateWithCString(nullptr, tag.c_str(), kCFStringEncodingUTF8);
    CFStringRef identifier = text ? UTTypeCreatePreferredIdentifierForTag(tagClass, text, nullptr) : nullptr;
    if (text) CFRelease(text);
    return identifier;
}

bool ExtensionConformsTo(const std::string& extension, OSType type) {
    CFStringRef code = UTCreateStringForOSType(type);
    CFStringRef byType =
        code ? UTTypeCreatePreferredIdentifierForTag(kUTTagClassOSType, code, nullptr) : nullptr;
    CFStringRef byExtension = IdentifierFor(kUTTagClassFilenameExtension, extension);
    bool conforms = byType && byExtension && UTTypeConformsTo(byExtension, byType);
    for (CFStringRef s : {code, byType, byExtension})
        if (s) CFRelease(s);
    return conforms;
}

// Whether the chooser offers the file: by the type kept with it, or by its extension.
bool Offers(const OpaqueNavDialogRef& d, const std::string& path) {
    if (d.types.empty()) return true;
    OSType fileType = 0, creator = 0;
    ReadTypeCreator(path, fileType, creator);
    if (fileType && std::find(d.types.begin(), d.types.end(), fileType) != d.types.end()) return true;
    std::string name = std::filesystem::path(path).filename().string();
    size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) return false;
    std::string extension = name.substr(dot + 1);
    return std::any_of(d.types.begin(), d.types.end(),
                       [&](OSType type) { return ExtensionConformsTo(extension, type); });
}

// Lists the files of the folder that the open chooser offers (hidden ones left out).
void ShowOffered(OpaqueNavDialogRef& d, const std::string& folder) {
    ControlRef list = FindControl(d.window, kList, 1);
    if (!list) return;
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        std::string name = entry.path().filename().string();
        if (name[0] != '.' && entry.is_regular_file(error) && Offers(d, entry.path().string()))
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : ", ") + name;
    list->text = Utf8ToMacRoman(text);
    Draw1Control(list);
}

std::string ParentFolder(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
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
        const char* problem = field->text.empty() ? "Please type a path."
                              : !d->save && !file ? "There is no file at this path."
                              : !d->save && !Offers(*d, path)
                                  ? "This file is not of a type that can be opened here."
                              : d->save && exists && !file ? "This path names a folder."
                                                           : nullptr;
        if (problem) {
            ControlRef status = FindControl(d->window, kStatus, 1);
            status->text = problem;
            Draw1Control(status);
            if (!d->save) ShowOffered(*d, std::filesystem::is_directory(path) ? path : ParentFolder(path));
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

OSStatus Create(const NavDialogCreationOptions* options, bool save, NavTypeListHandle typeList,
                NavDialogRef* outDialog) {
    if (!outDialog) return paramErr;
    auto* d = new OpaqueNavDialogRef;
    d->save = save;
    if (typeList && *typeList)
        d->types.assign((*typeList)->osType,
                        (*typeList)->osType + std::max<SInt16>((*typeList)->osTypeCount, 0));
    d->action = save ? "Save" : "Open";
    d->cancel = "Cancel";
    if (options) {
        if (options->message) d->message = CFStringToUtf8(options->message);
        if (options->actionButtonLabel) d->action = CFStringToUtf8(options->actionButtonLabel);
        if (options->cancelButtonLabel) d->cancel = CFStringToUtf8(options->cancelButtonLabel);
        if (save && options->saveFileName) d->proposed = CFStringToUtf8(options->saveFileName);
    }
    OSStatus err = noErr;
    const SInt16 list = save ? 0 : kListHeight; // what the open chooser's list adds below the path
    d->window =
        NewWindow("file chooser", save ? "Save" : "Open", Rect{140, 200, SInt16(300 + list), 660}, err);
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
    if (!save) NewStandardControl(w, Kind::StaticText, kList, 1, Rect{80, 20, 140, 440}, "", 0, 0, 0, 0);
    NewStandardControl(w, Kind::StaticText, kStatus, 1, Rect{SInt16(80 + list), 20, SInt16(98 + list), 440},
                       "", 0, 0, 0, 0);
    NewStandardControl(w, Kind::Button, FourCC("Nbtn"), 1,
                       Rect{SInt16(120 + list), 340, SInt16(144 + list), 440}, Utf8ToMacRoman(d->action), 0,
                       0, 0, kOK);
    NewStandardControl(w, Kind::Button, FourCC("Nbtn"), 2,
                       Rect{SInt16(120 + list), 228, SInt16(144 + list), 328}, Utf8ToMacRoman(d->cancel), 0,
                       0, 0, kCancel);
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

OSStatus NavCreateGetFileDialog(const NavDialogCreationOptions* inOptions, NavTypeListHandle inTypeList,
                                void*, void*, void*, void*, NavDialogRef* outDialog) {
    return Create(inOptions, false, inTypeList, outDialog);
}

OSStatus NavCreatePutFileDialog(const NavDialogCreationOptions* inOptions, OSType, OSType, void*, void*,
                                NavDialogRef* outDialog) {
    return Create(inOptions, true, nullptr, outDialog);
}

OSStatus NavDialogRun(NavDialogRef inDialog) {
    if (!inDialog || !IsWindow(inDialog->window)) return paramErr;
    inDialog->userAction = kNavUserActionNone;
    if (!inDialog->save) ShowOffered(*inDialog, CurrentFolder());
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

// Standard alerts as small modal windows of the toolbox: the message, the informative text
// and one to three buttons; return takes the default button, escape the cancel button (or
// the only one). Under the script source the alert's texts also go to standard error, so
// that a run without a screen still tells what it asked.
#include "toolbox/Alerts.h"
#include "toolbox/InputSources.h"

#include "../hitoolbox/HIObjects.h"
#include "../ToolboxState.h"
#include "toolbox/TextUtils.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>

namespace {

using namespace toolbox;
using namespace toolbox::hi;

constexpr OSType kButtonSignature = FourCC("Albt");
constexpr UInt32 kOK = FourCC("ok  "), kCancel = FourCC("not!"), kOther = FourCC("othr");
constexpr int kWidth = 420;

struct Alert {
    AlertType type;
    std::string message, informative; // UTF-8
    std::string defaultText = "OK", cancelText, otherText;
    WindowRef window = nullptr;
    DialogItemIndex itemHit = kAlertStdAlertOKButton;
};

const char* KindName(AlertType type) {
    switch (type) {
        case kAlertStopAlert:
            return "stop";
        case kAlertNoteAlert:
            return "note";
        case kAlertCautionAlert:
            return "caution";
        default:
            return "plain";
    }
}

OSStatus AlertHandler(EventHandlerCallRef, EventRef event, void* userData) {
    auto* alert = static_cast<Alert*>(userData);
    HICommand command{};
    GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr,
                      &command);
    if (command.commandID == kOK)
        alert->itemHit = kAlertStdAlertOKButton;
    else if (command.commandID == kCancel)
        alert->itemHit = kAlertStdAlertCancelButton;
    else if (command.commandID == kOther)
        alert->itemHit = kAlertStdAlertOtherButton;
    else
        return eventNotHandledErr;
    QuitAppModalLoopForWindow(alert->window);
    return noErr;
}

int TextHeight(const std::string& utf8, int width) {
    int lines = 1 + Utf8Width(utf8) / (width - 40);
    for (char ch : utf8)
        lines += ch == '\n' || ch == '\r';
    return lines * 17 + 4;
}

// Lays the alert out: texts at the top, buttons along the bottom from the right.
WindowRef BuildWindow(Alert& a) {
    int textWidth = kWidth - 40;
    int infoHeight = a.informative.empty() ? 0 : TextHeight(a.informative, textWidth);
    int height = 20 + 22 + 8 + infoHeight + 16 + 24 + 16;
    OSStatus err = noErr;
    std::string title = a.type == kAlertStopAlert      ? "Stop"
                        : a.type == kAlertCautionAlert ? "Caution"
                                                       : "Alert";
    WindowRef w = NewWindow("alert", title, Rect{140, 200, SInt16(140 + height), SInt16(200 + kWidth)}, err);
    if (!w) return nullptr;
    w->defaultCommand = kOK;
    w->cancelCommand = a.cancelText.empty() ? kOK : kCancel;
    NewStandardControl(w, Kind::StaticText, FourCC("Almg"), 1, Rect{20, 20, 42, SInt16(20 + textWidth)},
                       Utf8ToMacRoman(a.message), 0, 0, 0, 0);
    NewStandardControl(w, Kind::StaticText, FourCC("Alin"), 1,
                       Rect{50, 20, SInt16(50 + infoHeight), SInt16(20 + textWidth)},
                       Utf8ToMacRoman(a.informative), 0, 0, 0, 0);
    int right = kWidth - 20, bottom = height - 16;
    auto addButton = [&](const std::string& text, SInt32 id, UInt32 command) {
        int width = std::max(80, Utf8Width(text) + 24);
        NewStandardControl(w, Kind::Button, kButtonSignature, id,
                           Rect{SInt16(bottom - 24), SInt16(right - width), SInt16(bottom), SInt16(right)},
                           Utf8ToMacRoman(text), 0, 0, 0, command);
        right -= width + 12;
    };
    addButton(a.defaultText, 1, kOK);
    if (!a.cancelText.empty()) addButton(a.cancelText, 2, kCancel);
    if (!a.otherText.empty()) addButton(a.otherText, 3, kOther);
    DrawControls(w);
    return w;
}

} // namespace

extern "C" {

OSStatus CreateStandardAlert(AlertType alertType, CFStringRef error, CFStringRef explanation,
                             const AlertStdCFStringAlertParamRec* param, DialogRef* outAlert) {
    if (!outAlert) return paramErr;
    *outAlert = nullptr;
    // A program that asks for a stop alert has failed, whether or not the alert can be made.
    if (alertType == kAlertStopAlert) gToolbox.stopAlertAsked = true;
    std::unique_ptr<Alert> alert;
    try {
        alert.reset(new Alert{alertType, CFStringToUtf8(error), CFStringToUtf8(explanation)});
        if (param) {
            if (param->defaultText) alert->defaultText = CFStringToUtf8(param->defaultText);
            if (param->cancelText) alert->cancelText = CFStringToUtf8(param->cancelText);
            if (param->otherText) alert->otherText = CFStringToUtf8(param->otherText);
        }
        alert->window = BuildWindow(*alert);
    } catch (const std::bad_alloc&) {
        return memFullErr;
    }
    if (!alert->window) return memFullErr;
    *outAlert = reinterpret_cast<DialogRef>(alert.release());
    return noErr;
}

OSStatus RunStandardAlert(DialogRef inAlert, ModalFilterUPP, DialogItemIndex* outItemHit) {
    auto* alert = reinterpret_cast<Alert*>(inAlert);
    if (!alert) return paramErr;
    bool script = Input().Kind() == InputKind::Script;
    if (script) {
        std::string buttons = "[" + alert->defaultText + "]";
        if (!alert->cancelText.empty()) buttons += " [" + alert->cancelText + "]";
        if (!alert->otherText.empty()) buttons += " [" + alert->otherText + "]";
        std::fprintf(stderr, "Alert (%s): %s\n  %s\n  buttons: %s\n", KindName(alert->type),
                     alert->message.c_str(), alert->informative.c_str(), buttons.c_str());
        std::fflush(stderr);
    }
    static const EventTypeSpec kCommand{kEventClassCommand, kEventCommandProcess};
    InstallEventHandler(GetWindowEventTarget(alert->window), AlertHandler, 1, &kCommand, alert, nullptr);
    ShowWindow(alert->window);
    BringToFront(alert->window);
    RunAppModalLoopForWindow(alert->window);
    DisposeWindow(alert->window);
    if (script) {
        const std::string& chosen = alert->itemHit == kAlertStdAlertCancelButton  ? alert->cancelText
                                    : alert->itemHit == kAlertStdAlertOtherButton ? alert->otherText
                                                                                  : alert->defaultText;
        std::fprintf(stderr, "  chosen: %s\n", chosen.c_str());
        std::fflush(stderr);
    }
    if (outItemHit) *outItemHit = alert->itemHit;
    delete alert;
    return noErr;
}

void ExitToShell(void) {
    std::fflush(nullptr);
    std::_Exit(gToolbox.stopAlertAsked ? 70 : 0);
}

} // extern "C"

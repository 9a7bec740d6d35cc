// Standard alerts without a window system: the alert is written to standard error and
// its default button is taken, which is what a user pressing return would do.
#include "toolbox/Alerts.h"

#include "../ToolboxState.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

struct Alert {
    AlertType type;
    std::string message;
    std::string informative;
    std::string defaultText = "OK";
    std::string cancelText;
    std::string otherText;
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

} // namespace

extern "C" {

OSStatus CreateStandardAlert(AlertType alertType, CFStringRef error, CFStringRef explanation,
                             const AlertStdCFStringAlertParamRec* param, DialogRef* outAlert) {
    if (!outAlert) return paramErr;
    auto* alert = new Alert{alertType, toolbox::CFStringToUtf8(error), toolbox::CFStringToUtf8(explanation)};
    if (param) {
        if (param->defaultText) alert->defaultText = toolbox::CFStringToUtf8(param->defaultText);
        if (param->cancelText) alert->cancelText = toolbox::CFStringToUtf8(param->cancelText);
        if (param->otherText) alert->otherText = toolbox::CFStringToUtf8(param->otherText);
    }
    *outAlert = reinterpret_cast<DialogRef>(alert);
    return noErr;
}

OSStatus RunStandardAlert(DialogRef inAlert, ModalFilterUPP, DialogItemIndex* outItemHit) {
    auto* alert = reinterpret_cast<Alert*>(inAlert);
    if (!alert) return paramErr;
    std::string buttons = "[" + alert->defaultText + "]";
    if (!alert->cancelText.empty()) buttons += " [" + alert->cancelText + "]";
    if (!alert->otherText.empty()) buttons += " [" + alert->otherText + "]";
    std::fprintf(stderr, "Alert (%s): %s\n  %s\n  buttons: %s, default taken\n", KindName(alert->type),
                 alert->message.c_str(), alert->informative.c_str(), buttons.c_str());
    std::fflush(stderr);
    if (alert->type == kAlertStopAlert) toolbox::gToolbox.stopAlertShown = true;
    if (outItemHit) *outItemHit = kAlertStdAlertOKButton;
    delete alert;
    return noErr;
}

void ExitToShell(void) {
    std::fflush(nullptr);
    std::_Exit(toolbox::gToolbox.stopAlertShown ? 70 : 0);
}

} // extern "C"

#include "util/failures.h"

#include "toolbox/Alerts.h"
#include "toolbox/CoreFoundation.h"
#include "toolbox/TextUtils.h"

#include <string>

namespace {

// A platform string of a short string, released when it goes out of scope.
struct ScopedCFString {
    CFStringRef ref;
    explicit ScopedCFString(ConstStr255Param s)
        : ref(CFStringCreateWithPascalString(kCFAllocatorDefault, s, kCFStringEncodingMacRoman)) {}
    ~ScopedCFString() {
        if (ref) CFRelease(ref);
    }
    ScopedCFString(const ScopedCFString&) = delete;
    ScopedCFString& operator=(const ScopedCFString&) = delete;
};

struct PStr {
    Str255 s;
    explicit PStr(const char* text) { toolbox::SetPascal(s, toolbox::Utf8ToMacRoman(text ? text : "")); }
};

} // namespace

SInt16 StandardWarning(ConstStr255Param headline, ConstStr255Param description, ConstStr255Param okText,
                       ConstStr255Param cancelText) {
    ScopedCFString head(headline), text(description), ok(okText), cancel(cancelText);
    AlertStdCFStringAlertParamRec param{};
    param.version = kStdCFStringAlertVersionOne;
    param.movable = true;
    param.helpButton = false;
    param.defaultText = ok.ref;
    param.cancelText = (cancelText && cancelText[0] > 0) ? cancel.ref : nullptr;
    param.otherText = nullptr;
    param.defaultButton = kAlertStdAlertOKButton;
    param.cancelButton = kAlertStdAlertCancelButton;
    param.position = kWindowDefaultPosition;
    param.flags = 0;
    DialogRef alert = nullptr;
    DialogItemIndex itemHit = kAlertStdAlertOKButton;
    if (CreateStandardAlert(kAlertCautionAlert, head.ref, text.ref, &param, &alert) == noErr)
        RunStandardAlert(alert, nullptr, &itemHit);
    return itemHit;
}

void StandardStop(ConstStr255Param headline, ConstStr255Param description) {
    ScopedCFString head(headline), text(description);
    DialogRef alert = nullptr;
    DialogItemIndex itemHit = 0;
    if (CreateStandardAlert(kAlertStopAlert, head.ref, text.ref, nullptr, &alert) == noErr)
        RunStandardAlert(alert, nullptr, &itemHit);
}

void Terminate(ConstStr255Param headline, ConstStr255Param description) {
    StandardStop(headline, description);
    ExitToShell();
}

void Assert(const void* thePtr, ConstStr255Param failLocation) {
    if (thePtr) return;
    std::string text = "Assertion failed in: ";
    text += toolbox::PascalView(failLocation);
    Str255 description;
    toolbox::SetPascal(description, text);
    Terminate(PStr("Assertion Failure").s, description);
}

void Notify(ConstStr255Param theMessage) {
    StandardWarning(PStr("Internal Notification:").s, theMessage, PStr("ok").s, PStr("").s);
}

void Terminate(const char* headline, const char* description) {
    Terminate(PStr(headline).s, PStr(description).s);
}

void Assert(const void* thePtr, const char* failLocation) {
    if (!thePtr) Assert(thePtr, PStr(failLocation).s);
}

void Notify(const char* theMessage) {
    Notify(PStr(theMessage).s);
}

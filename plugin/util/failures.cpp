#include "util/failures.h"

#include "toolbox/Alerts.h"
#include "toolbox/CoreFoundation.h"
#include "toolbox/TextUtils.h"

#include <cstdio>
#include <new>
#include <string>
#include <string_view>

namespace {

// A platform string of a short string, released when it goes out of scope; NULL when there
// is no memory for it.
struct ScopedCFString {
    CFStringRef ref = nullptr;
    explicit ScopedCFString(ConstStr255Param s) {
        try {
            ref = CFStringCreateWithPascalString(kCFAllocatorDefault, s, kCFStringEncodingMacRoman);
        } catch (const std::bad_alloc&) {
            ref = nullptr;
        }
    }
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

// Shows a stop alert and waits for the user; false when it could not be shown with its
// texts (under memory pressure, the case Assert exists for).
bool ShowStopAlert(ConstStr255Param headline, ConstStr255Param description) {
    ScopedCFString head(headline), text(description);
    DialogRef alert = nullptr;
    if (CreateStandardAlert(kAlertStopAlert, head.ref, text.ref, nullptr, &alert) != noErr) return false;
    DialogItemIndex itemHit = 0;
    RunStandardAlert(alert, nullptr, &itemHit);
    return head.ref && text.ref;
}

// Writes a short string to standard error as UTF-8, a character at a time, so that nothing
// needs memory from the heap.
void WriteToStderr(ConstStr255Param text) {
    for (char c : toolbox::PascalView(text)) {
        const std::string utf8 = toolbox::MacRomanToUtf8(std::string_view(&c, 1)); // fits in place
        std::fputs(utf8.c_str(), stderr);
    }
}

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
    ShowStopAlert(headline, description);
}

// When the alert cannot be shown, its texts go to standard error; the process ends with the
// failure status either way.
void Terminate(ConstStr255Param headline, ConstStr255Param description) {
    if (!ShowStopAlert(headline, description)) {
        std::fputs("Stop: ", stderr);
        WriteToStderr(headline);
        std::fputs("\n  ", stderr);
        WriteToStderr(description);
        std::fputs("\n", stderr);
    }
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

/* Standard alerts and the end of the process.
 *
 * An alert is a small modal window of the toolbox: return takes the default button, escape
 * the cancel button (or the only button). Under the script source the alert is also written
 * to standard error: "Alert (<kind>): <message>", its informative text and its buttons, and
 * after it closes the button chosen. */
#pragma once

#include "toolbox/CoreFoundation.h"
#include "toolbox/MacTypes.h"

typedef SInt16 AlertType;
enum { kAlertStopAlert = 0, kAlertNoteAlert = 1, kAlertCautionAlert = 2, kAlertPlainAlert = 3 };

typedef SInt16 DialogItemIndex;
enum { kAlertStdAlertOKButton = 1, kAlertStdAlertCancelButton = 2, kAlertStdAlertOtherButton = 3 };
enum { kStdCFStringAlertVersionOne = 1 };
enum { kWindowDefaultPosition = 0 };

typedef struct OpaqueDialogPtr* DialogRef;
typedef void* ModalFilterUPP;

typedef struct AlertStdCFStringAlertParamRec {
    UInt32 version;
    Boolean movable;
    Boolean helpButton;
    CFStringRef defaultText;
    CFStringRef cancelText;
    CFStringRef otherText;
    SInt16 defaultButton;
    SInt16 cancelButton;
    UInt16 position;
    UInt32 flags;
} AlertStdCFStringAlertParamRec;

TB_EXTERN_C_BEGIN

/* Without a parameter record the alert has one OK button. memFullErr when there is no
 * memory for the alert. */
OSStatus CreateStandardAlert(AlertType alertType, CFStringRef error, CFStringRef explanation,
                             const AlertStdCFStringAlertParamRec* param, DialogRef* outAlert);
/* Runs the alert's modal loop until a button is chosen, then disposes of it. */
OSStatus RunStandardAlert(DialogRef inAlert, ModalFilterUPP filterProc, DialogItemIndex* outItemHit);

/* Ends the process. The exit status is 0, or 70 when a stop alert was asked for before
 * (CreateStandardAlert of a stop alert, whether or not it could be made). */
void ExitToShell(void) __attribute__((noreturn));

TB_EXTERN_C_END

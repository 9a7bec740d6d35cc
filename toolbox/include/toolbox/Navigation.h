/* File choosers: small modal windows of the toolbox with the message, a path field, and the
 * action and Cancel buttons. An open chooser also lists the files it offers in the current
 * folder ("List" 1, names separated by ", "; after a refused path, in that path's folder),
 * and only accepts the path of an existing file it offers; a save chooser tells whether the
 * path names a file that exists (it would be replaced). Relative paths are taken from the
 * current folder. */
#pragma once

#include "toolbox/AppleEvents.h"
#include "toolbox/CFBundle.h"
#include "toolbox/MacWindows.h"

typedef struct OpaqueNavDialogRef* NavDialogRef;
typedef UInt32 NavUserAction;
enum { kNavUserActionNone = 0, kNavUserActionCancel = 1, kNavUserActionOpen = 2, kNavUserActionSaveAs = 3 };
enum { kNavDialogCreationOptionsVersion = 0 };
enum { kNavAllowMultipleFiles = 0x80 };

typedef struct NavDialogCreationOptions {
    UInt16 version;
    UInt32 optionFlags;
    Point location;
    CFStringRef clientName;
    CFStringRef windowTitle;
    CFStringRef actionButtonLabel;
    CFStringRef cancelButtonLabel;
    CFStringRef saveFileName; /* the proposed name of a save chooser */
    CFStringRef message;
    UInt32 preferenceKey;
    void* popupExtension;
    UInt32 modality;
    WindowRef parentWindow;
    char reserved[16];
} NavDialogCreationOptions;

/* The chooser's answer: validRecord after a confirmation, the chosen file as one file
 * FSSpec record in selection, and whether a save replaces an existing file. */
typedef struct NavReplyRecord {
    UInt16 version;
    Boolean validRecord;
    Boolean replacing;
    Boolean isStationery;
    Boolean translationNeeded;
    AEDescList selection;
    ScriptCode keyScript;
    CFStringRef saveFileName;
} NavReplyRecord;

TB_EXTERN_C_BEGIN

OSStatus NavGetDefaultDialogCreationOptions(NavDialogCreationOptions* outOptions);
enum { userCanceledErr = -128 };

/* The types an open chooser offers, with the creator of the application that asks (not
 * read). A file is of a listed type when the type kept with it (FSpCreate) is one of them,
 * or when the type identifier of its name's extension conforms to that of one of them (a
 * ".png" file to "PNGf", say). */
typedef struct NavTypeList {
    OSType componentSignature;
    SInt16 reserved;
    SInt16 osTypeCount;
    OSType osType[1]; /* osTypeCount entries */
} NavTypeList;
typedef NavTypeList* NavTypeListPtr;
typedef NavTypeListPtr* NavTypeListHandle;

/* Without a type list (NULL, or no types) every file is offered. The event, preview and
 * filter procedures are not used. */
OSStatus NavCreateGetFileDialog(const NavDialogCreationOptions* inOptions, NavTypeListHandle inTypeList,
                                void* inEventProc, void* inPreviewProc, void* inFilterProc,
                                void* inClientData, NavDialogRef* outDialog);
OSStatus NavCreatePutFileDialog(const NavDialogCreationOptions* inOptions, OSType inFileType,
                                OSType inFileCreator, void* inEventProc, void* inClientData,
                                NavDialogRef* outDialog);
/* Runs the chooser's modal loop until the user confirms or cancels. */
OSStatus NavDialogRun(NavDialogRef inDialog);
NavUserAction NavDialogGetUserAction(NavDialogRef inDialog);
/* The chosen file as the selection's one FSSpec; replacing tells whether a save chooser's
 * file exists. userCanceledErr after Cancel; the reply is disposed of with NavDisposeReply. */
OSStatus NavDialogGetReply(NavDialogRef inDialog, NavReplyRecord* outReply);
OSStatus NavDisposeReply(NavReplyRecord* inReply);
void NavDialogDispose(NavDialogRef inDialog);

TB_EXTERN_C_END

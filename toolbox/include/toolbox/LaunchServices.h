/* Opening documents with the user's default application: xdg-open, started without a
 * shell. The status is that of xdg-open (its exit status when it fails to open the
 * document, kLSApplicationNotFoundErr when it cannot be started). */
#pragma once

#include "toolbox/CFBundle.h"
#include "toolbox/Files.h"

enum { kLSApplicationNotFoundErr = -10814, kLSLaunchFailedErr = -10810 };

/* Item information: the extension (without the dot; NULL when the name has none; the
 * caller releases it), the type and creator that FSpCreate gave the file, and flags. */
typedef UInt32 LSRequestedInfo;
enum {
    kLSRequestExtension = 0x01,
    kLSRequestTypeCreator = 0x02,
    kLSRequestBasicFlagsOnly = 0x04,
    kLSRequestAllInfo = 0xFFFFFFFF
};
enum { kLSItemInfoIsPlainFile = 0x01, kLSItemInfoIsPackage = 0x02, kLSItemInfoIsContainer = 0x08 };
typedef struct LSItemInfoRecord {
    UInt32 flags;
    OSType filetype;
    OSType creator;
    CFStringRef extension;
} LSItemInfoRecord;

/* Opening documents in a given application: the application's file is started with the
 * documents' paths as its arguments (no shell); without appRef, each opens as with
 * LSOpenCFURLRef. launchFlags and the pass-through parameters are not read. */
typedef struct LSLaunchFSRefSpec {
    const FSRef* appRef;
    UInt32 numDocs;
    const FSRef* itemRefs;
    const void* passThruParams;
    UInt32 launchFlags;
    void* asyncRefCon;
} LSLaunchFSRefSpec;
enum { kLSLaunchDefaults = 0x00000001 };

TB_EXTERN_C_BEGIN

OSStatus LSOpenCFURLRef(CFURLRef inURL, CFURLRef* outLaunchedURL);
OSStatus LSCopyItemInfoForRef(const FSRef* inItemRef, LSRequestedInfo inWhichInfo,
                              LSItemInfoRecord* outItemInfo);
OSStatus LSOpenFSRef(const FSRef* inRef, FSRef* outLaunchedRef);
OSStatus LSOpenFromRefSpec(const LSLaunchFSRefSpec* inLaunchSpec, FSRef* outLaunchedRef);

/* File URLs of file references, and back (fnfErr-style false for a missing file). */
CFURLRef CFURLCreateFromFSRef(CFAllocatorRef allocator, const FSRef* fsRef);
Boolean CFURLGetFSRef(CFURLRef url, FSRef* fsRef);

/* Type identifiers of the common image and document kinds, by file name extension or by
 * four-character file type (its string from UTCreateStringForOSType). An unknown tag gives
 * a dynamic identifier ("dyn.ext.<tag>" or "dyn.ostype.<code>") that conforms only to
 * itself and public.item. */
#define kUTTagClassFilenameExtension CFSTR("public.filename-extension")
#define kUTTagClassOSType CFSTR("com.apple.ostype")
CFStringRef UTTypeCreatePreferredIdentifierForTag(CFStringRef inTagClass, CFStringRef inTag,
                                                  CFStringRef inConformingToUTI);
Boolean UTTypeConformsTo(CFStringRef inUTI, CFStringRef inConformsToUTI);
CFStringRef UTCreateStringForOSType(OSType inOSType);

TB_EXTERN_C_END

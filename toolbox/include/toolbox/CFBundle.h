/* Core Foundation bundles and URLs.
 *
 * A bundle is a folder <name>.bundle with Contents/Identifier (its identifier on one line),
 * Contents/Linux/ (its libraries) and Contents/Resources/. The toolbox knows the bundles
 * whose library is loaded in the process. The main bundle is the folder of the running
 * program: its resources are that folder's Resources/ sub-folder. URLs are kept as text;
 * file URLs are "file://" followed by an absolute path. */
#pragma once

#include "toolbox/CoreFoundation.h"

typedef struct __CFBundle* CFBundleRef;
typedef const struct __CFURL* CFURLRef;

TB_EXTERN_C_BEGIN

/* The bundle, or NULL when no loaded bundle has that identifier. Not retained for the
 * caller (the "Get" rule); it lives at least as long as its library stays loaded. */
CFBundleRef CFBundleGetBundleWithIdentifier(CFStringRef bundleID);
CFBundleRef CFBundleGetMainBundle(void);
/* The URL of Resources/[subDirName/]resourceName[.resourceType] when that file exists;
 * NULL otherwise. The caller releases it. */
CFURLRef CFBundleCopyResourceURL(CFBundleRef bundle, CFStringRef resourceName, CFStringRef resourceType,
                                 CFStringRef subDirName);

CFURLRef CFURLCreateWithString(CFAllocatorRef allocator, CFStringRef URLString, CFURLRef baseURL);
CFStringRef CFURLGetString(CFURLRef anURL);
/* The path of a file URL, zero-terminated, in buffer; false when it is not a file URL or
 * does not fit. */
Boolean CFURLGetFileSystemRepresentation(CFURLRef url, Boolean resolveAgainstBase, UInt8* buffer,
                                         CFIndex maxBufLen);

TB_EXTERN_C_END

enum { kCFURLPOSIXPathStyle = 0 };

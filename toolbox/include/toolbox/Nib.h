/* Interface descriptions: windows and their controls described in JSON files, one file per
 * description name in a bundle's resources (<name>.json), holding windows by name.
 *
 *   { "windows": { "<window name>": {
 *       "title": "...", "bounds": {"left": 40, "top": 60, "width": 400, "height": 300},
 *       "defaultCommand": "ok  ", "cancelCommand": "not!",
 *       "controls": [ { "signature": "Sldr", "id": 1, "kind": "slider",
 *                       "bounds": {...}, "minimum": 0, "maximum": 100, "value": 50,
 *                       "text": "...", "command": "Medi", "items": ["NTSC", "PAL"],
 *                       "visible": true, "enabled": true }, ... ] } } }
 *
 * A control has either "kind" (button, checkbox, slider, popup, static, edittext, group) or
 * "class" (the identifier of a registered custom class). Control bounds are in window
 * coordinates. The whole file is checked when it is opened; a bad file gives
 * kIBCarbonRuntimeObjectNotOfRequestedType and a message on standard error that names the
 * file, the window and the control. */
#pragma once

#include "toolbox/CFBundle.h"
#include "toolbox/MacWindows.h"

typedef struct OpaqueIBNibRef* IBNibRef;

enum {
    kIBCarbonRuntimeCantFindNibFile = -10960,
    kIBCarbonRuntimeObjectNotOfRequestedType = -10961,
    kIBCarbonRuntimeCantFindObject = -10962
};

TB_EXTERN_C_BEGIN

OSStatus CreateNibReferenceWithCFBundle(CFBundleRef inBundle, CFStringRef inNibName, IBNibRef* outNibRef);
/* From the main bundle. */
OSStatus CreateNibReference(CFStringRef inNibName, IBNibRef* outNibRef);
/* kIBCarbonRuntimeCantFindObject when there is no such window; when a control names a class
 * that is not registered, kIBCarbonRuntimeObjectNotOfRequestedType and a message. */
OSStatus CreateWindowFromNib(IBNibRef inNibRef, CFStringRef inName, WindowRef* outWindow);
void DisposeNibReference(IBNibRef inNibRef);

TB_EXTERN_C_END

#ifdef __cplusplus
#include <string>
namespace toolbox {
/* Opens a description file by path (for tools and tests that keep theirs outside bundles). */
OSStatus CreateNibReferenceFromFile(const std::string& path, IBNibRef* outNibRef);
} // namespace toolbox
#endif

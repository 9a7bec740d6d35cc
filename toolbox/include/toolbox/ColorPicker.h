/* The colour picker: a small modal window of the toolbox with red, green and blue sliders,
 * the colour, the prompt, and OK and Cancel. */
#pragma once

#include "toolbox/MacTypes.h"

typedef struct NPMColor {
    void* profile;
    struct {
        RGBColor rgb;
    } color;
} NPMColor;

typedef struct PickerMenuItemInfo {
    SInt16 editMenuID;
    SInt16 cutItem;
    SInt16 copyItem;
    SInt16 pasteItem;
    SInt16 clearItem;
    SInt16 undoItem;
} PickerMenuItemInfo;

typedef struct NColorPickerInfo {
    NPMColor theColor;
    void* dstProfile;
    UInt32 flags;
    SInt16 placeWhere;
    Point dialogOrigin;
    OSType pickerType;
    void* eventProc;
    void* colorProc;
    UInt32 colorProcData;
    Str255 prompt;
    PickerMenuItemInfo mInfo;
    Boolean newColorChosen;
    UInt8 reserved;
} NColorPickerInfo;

enum {
    kColorPickerDialogIsMoveable = 1,
    kColorPickerDialogIsModal = 2,
    kColorPickerAppIsColorSyncAware = 16,
    kColorPickerInPickerDialog = 128
};

TB_EXTERN_C_BEGIN

/* Runs the picker from theColor; on OK, theColor holds the choice and newColorChosen is
 * true; on Cancel, newColorChosen is false. */
OSErr NPickColor(NColorPickerInfo* theColorInfo);

TB_EXTERN_C_END

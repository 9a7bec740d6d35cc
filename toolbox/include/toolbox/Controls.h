/* Controls and pop-up menus. A control belongs to one window and is found by its
 * ControlID (a four-character signature and a number). Standard kinds: push button, check
 * box, slider, pop-up, static text, edit text and group box; other controls belong to
 * custom classes registered with RegisterToolboxObjectClass, whose handler receives the
 * control events it registered for (draw, hit test, hit, activate, owning window changed,
 * track).
 *
 * Setting a value, the bounds of the range, visibility or enabled state redraws the
 * control; SetControlData does not (call Draw1Control). */
#pragma once

#include "toolbox/CarbonEvents.h"
#include "toolbox/CoreFoundation.h"
#include "toolbox/MacTypes.h"

typedef SInt16 ControlPartCode;
typedef void (*ControlActionProcPtr)(ControlRef theControl, ControlPartCode partCode);
typedef ControlActionProcPtr ControlActionUPP;
typedef struct OpaqueToolboxObjectClassRef* ToolboxObjectClassRef;
typedef OSType ResTypeTag;
typedef SInt16 ControlFocusPart;

typedef struct ControlID {
    OSType signature;
    SInt32 id;
} ControlID;

typedef struct ControlEditTextSelectionRec {
    SInt16 selStart;
    SInt16 selEnd;
} ControlEditTextSelectionRec;

enum {
    kControlNoPart = 0,
    kControlButtonPart = 10,
    kControlCheckBoxPart = 11,
    kControlEditTextPart = 5,
    kControlMenuPart = 2,
    kControlIndicatorPart = 129,
    kControlDisabledPart = 254,
    kControlInactivePart = 255
};

enum { kControlFocusNoPart = 0, kControlFocusNextPart = -1 };

enum {
    kControlEditTextTextTag = 0x74657874,      /* 'text' */
    kControlStaticTextTextTag = 0x74657874,    /* 'text' */
    kControlEditTextSelectionTag = 0x73656C65, /* 'sele' */
    kControlEntireControl = 0
};

enum {
    errDataNotSupported = -30580,
    errControlDoesntSupportFocus = -30582,
    errUnknownControl = -30584,
    controlHandleInvalidErr = -30599
};

TB_EXTERN_C_BEGIN

OSStatus GetControlByID(WindowRef inWindow, const ControlID* inID, ControlRef* outControl);
SInt32 GetControl32BitValue(ControlRef theControl);
void SetControl32BitValue(ControlRef theControl, SInt32 newValue);
void SetControl32BitMinimum(ControlRef theControl, SInt32 newMinimum);
SInt32 GetControl32BitMaximum(ControlRef theControl);
void SetControl32BitMaximum(ControlRef theControl, SInt32 newMaximum);
SInt16 GetControlMaximum(ControlRef theControl);
void ShowControl(ControlRef inControl);
void HideControl(ControlRef inControl);
Boolean IsControlVisible(ControlRef inControl);
OSStatus EnableControl(ControlRef inControl);
OSStatus DisableControl(ControlRef inControl);
Rect* GetControlBounds(ControlRef control, Rect* bounds);
UInt16 GetControlHilite(ControlRef control);
WindowRef GetControlOwner(ControlRef control);
void SetControlAction(ControlRef theControl, ControlActionUPP actionProc);
ControlActionUPP NewControlActionUPP(ControlActionProcPtr userRoutine);
OSErr SetControlData(ControlRef inControl, ControlPartCode inPart, ResTypeTag inTagName, Size inSize,
                     const void* inData);
OSErr GetControlData(ControlRef inControl, ControlPartCode inPart, ResTypeTag inTagName, Size inBufferSize,
                     void* inBuffer, Size* outActualSize);
void Draw1Control(ControlRef theControl);
MenuRef GetControlPopupMenuHandle(ControlRef control);
OSErr SetKeyboardFocus(WindowRef inWindow, ControlRef inControl, ControlFocusPart inPart);
OSErr GetKeyboardFocus(WindowRef inWindow, ControlRef* outControl);

void GetMenuItemText(MenuRef theMenu, MenuItemIndex item, Str255 itemString);

/* Custom control classes. A class is known by its identifier until it is unregistered;
 * a window description names it for its custom controls. */
OSStatus RegisterToolboxObjectClass(CFStringRef inClassID, ToolboxObjectClassRef inBaseClass,
                                    UInt32 inNumEvents, const EventTypeSpec* inEventList,
                                    EventHandlerUPP inEventHandler, void* inEventHandlerData,
                                    ToolboxObjectClassRef* outClassRef);
OSStatus UnregisterToolboxObjectClass(ToolboxObjectClassRef inClassRef);

TB_EXTERN_C_END

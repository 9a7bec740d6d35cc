// Control and event helpers: controls addressed by their window, signature and id instead
// of by reference, edit texts and pop-ups read and written as short strings and numbers,
// event handlers installed on the usual targets, and the usual event parameters.
//
// Ids are 16-bit here and reach the toolbox sign-extended. Only SimpleSetControlText,
// SimpleShowControl, SimpleHideControl, GetEditTextFromControl, SetEditTextForControl and
// SetEditTextToNumberForControl allow for a control that does not exist; the others expect
// the caller to name an existing control.
#pragma once

#include "util/PString.h"

#include "toolbox/CarbonEvents.h"
#include "toolbox/Controls.h"
#include "toolbox/MacWindows.h"

PString CommandID2Str(UInt32 commandID);

void InstallWindowEventHandler(WindowRef theWindow, EventHandlerUPP theHandler, UInt32 numTypes,
                               const EventTypeSpec* typeList, void* userData, EventHandlerRef* handlerRef);
void InstallMenuEventHandler(MenuRef theMenu, EventHandlerUPP theHandler, UInt32 numTypes,
                             const EventTypeSpec* typeList, void* userData, EventHandlerRef* handlerRef);
void InstallApplicationEventHandler(EventHandlerUPP theHandler, UInt32 numTypes,
                                    const EventTypeSpec* typeList, void* userData,
                                    EventHandlerRef* handlerRef);
void InstallControlEventHandler(ControlRef theControl, EventHandlerUPP theHandler, UInt32 numTypes,
                                const EventTypeSpec* typeList, void* userData, EventHandlerRef* handlerRef);

WindowRef GetWindowFromEvent(EventRef theEvent);
ControlRef GetControlFromEvent(EventRef theEvent); // the control a control event is about, or nil
void GetWindowKeyboardDataFromEvent(EventRef theEvent, char& theKey, UInt32& theKeyCode, UInt32& theMods);
Point GetMouseLocFromEvent(EventRef theEvent);

ControlRef SimpleGetControlByID(WindowRef theWindow, UInt32 theSig, SInt16 theID);
Rect SimpleGetControlBox(WindowRef theWindow, UInt32 theSig, SInt16 theID);
Rect GetControlBox(ControlRef theControl);
void SimpleSetControlText(WindowRef theWindow, UInt32 theSig, SInt16 theID, ConstStr255Param theText);
void SimpleShowControl(WindowRef theWindow, UInt32 theSig, SInt16 theID);
void SimpleHideControl(WindowRef theWindow, UInt32 theSig, SInt16 theID);
SInt32 SimpleGetControlValueByID(WindowRef theWindow, UInt32 theSig, SInt16 theID);
void SimpleSetControlValueByID(WindowRef theWindow, UInt32 theSig, SInt16 theID, SInt32 theVal);
void SimpleEnableControlByID(WindowRef theWindow, UInt32 theSig, SInt16 theID);
void SimpleDisableControlByID(WindowRef theWindow, UInt32 theSig, SInt16 theID);

PString GetEditTextFromControl(WindowRef theWindow, UInt32 theSig, SInt16 theID);
SInt32 GetNumberFromEditTextControl(WindowRef theWindow, UInt32 theSig, SInt16 theID);
void SetEditTextForControl(ConstStr255Param theText, WindowRef theWindow, UInt32 theSig, SInt16 theID);
void SetEditTextToNumberForControl(SInt32 theNumber, WindowRef theWindow, UInt32 theSig, SInt16 theID);
void SetKeyboadFocusByID(WindowRef theWindow, UInt32 theSig, SInt16 theID);
void SelectTextByIDForControl(WindowRef theWindow, UInt32 theSig, SInt16 theID, SInt16 startSel,
                              SInt16 endSel);

PString GetPopupItemText(ControlRef thePopup, SInt16 theItem);
PString GetSelectedPopupTextFromID(WindowRef theWindow, UInt32 theSig, SInt16 theID);
PString GetIndexedPopupTextFromID(WindowRef theWindow, UInt32 theSig, SInt16 theID, SInt16 theIndex);
SInt16 GetFontIDFromPopup(WindowRef theWindow, UInt32 theSig, SInt16 thePopup);
SInt16 GetMenuItemPosition(ControlRef theControl, ConstStr255Param theName);
SInt16 FindNameInPopupByID(WindowRef theWindow, UInt32 theSig, SInt16 theID, ConstStr255Param theName);

// A custom control class registered under its identifier with the handler its controls
// receive, and unregistered again; unregistering what was never registered does nothing.
void RegisterCustomControlClass(CFStringRef classID, EventHandlerProcPtr handler, UInt32 numEvents,
                                const EventTypeSpec* events, EventHandlerUPP& theUPP,
                                ToolboxObjectClassRef& theClass);
void UnregisterCustomControlClass(EventHandlerUPP& theUPP, ToolboxObjectClassRef& theClass);
// Answers a control's hit test: part 1 anywhere inside its bounds, no part outside.
void AnswerHitTestInBounds(ControlRef theControl, EventRef theEvent);

// Control and event helpers: each is one or two toolbox calls; none keeps state, and the
// toolbox's error codes are not passed on.
#include "util/CarbonMacros.h"

#include "toolbox/TextUtils.h"

namespace {

ControlID MakeID(UInt32 theSig, SInt16 theID) {
    return ControlID{theSig, SInt32(theID)};
}

} // namespace

PString CommandID2Str(UInt32 commandID) {
    const char bytes[4] = {char(commandID >> 24), char(commandID >> 16), char(commandID >> 8),
                           char(commandID)};
    return PString(std::string_view(bytes, 4));
}

void InstallWindowEventHandler(WindowRef theWindow, EventHandlerUPP theHandler, UInt32 numTypes,
                               const EventTypeSpec* typeList, void* userData, EventHandlerRef* handlerRef) {
    InstallEventHandler(GetWindowEventTarget(theWindow), theHandler, numTypes, typeList, userData,
                        handlerRef);
}

void InstallMenuEventHandler(MenuRef theMenu, EventHandlerUPP theHandler, UInt32 numTypes,
                             const EventTypeSpec* typeList, void* userData, EventHandlerRef* handlerRef) {
    InstallEventHandler(GetMenuEventTarget(theMenu), theHandler, numTypes, typeList, userData, handlerRef);
}

void InstallApplicationEventHandler(EventHandlerUPP theHandler, UInt32 numTypes,
                                    const EventTypeSpec* typeList, void* userData,
                                    EventHandlerRef* handlerRef) {
    InstallEventHandler(GetApplicationEventTarget(), theHandler, numTypes, typeList, userData, handlerRef);
}

void InstallControlEventHandler(ControlRef theControl, EventHandlerUPP theHandler, UInt32 numTypes,
                                const EventTypeSpec* typeList, void* userData, EventHandlerRef* handlerRef) {
    InstallEventHandler(GetControlEventTarget(theControl), theHandler, numTypes, typeList, userData,
                        handlerRef);
}

WindowRef GetWindowFromEvent(EventRef theEvent) {
    WindowRef window = nullptr;
    GetEventParameter(theEvent, kEventParamDirectObject, typeWindowRef, nullptr, sizeof window, nullptr,
                      &window);
    return window;
}

ControlRef GetControlFromEvent(EventRef theEvent) {
    ControlRef theControl = nullptr;
    GetEventParameter(theEvent, kEventParamDirectObject, typeControlRef, nullptr, sizeof theControl, nullptr,
                      &theControl);
    return theControl;
}

void GetWindowKeyboardDataFromEvent(EventRef theEvent, char& theKey, UInt32& theKeyCode, UInt32& theMods) {
    GetEventParameter(theEvent, kEventParamKeyMacCharCodes, typeChar, nullptr, sizeof theKey, nullptr,
                      &theKey);
    GetEventParameter(theEvent, kEventParamKeyCode, typeUInt32, nullptr, sizeof theKeyCode, nullptr,
                      &theKeyCode);
    GetEventParameter(theEvent, kEventParamKeyModifiers, typeUInt32, nullptr, sizeof theMods, nullptr,
                      &theMods);
}

Point GetMouseLocFromEvent(EventRef theEvent) {
    Point where{0, 0};
    GetEventParameter(theEvent, kEventParamWindowMouseLocation, typeQDPoint, nullptr, sizeof where, nullptr,
                      &where);
    return where;
}

ControlRef SimpleGetControlByID(WindowRef theWindow, UInt32 theSig, SInt16 theID) {
    ControlID id = MakeID(theSig, theID);
    ControlRef control = nullptr;
    GetControlByID(theWindow, &id, &control);
    return control;
}

Rect SimpleGetControlBox(WindowRef theWindow, UInt32 theSig, SInt16 theID) {
    return GetControlBox(SimpleGetControlByID(theWindow, theSig, theID));
}

Rect GetControlBox(ControlRef theControl) {
    Rect bounds;
    GetControlBounds(theControl, &bounds);
    return bounds;
}

void SimpleSetControlText(WindowRef theWindow, UInt32 theSig, SInt16 theID, ConstStr255Param theText) {
    ControlRef control = SimpleGetControlByID(theWindow, theSig, theID);
    if (!control) return;
    SetControlData(control, kControlEntireControl, kControlStaticTextTextTag, theText[0], theText + 1);
    Draw1Control(control);
}

void SimpleShowControl(WindowRef theWindow, UInt32 theSig, SInt16 theID) {
    if (ControlRef control = SimpleGetControlByID(theWindow, theSig, theID)) ShowControl(control);
}

void SimpleHideControl(WindowRef theWindow, UInt32 theSig, SInt16 theID) {
    if (ControlRef control = SimpleGetControlByID(theWindow, theSig, theID)) HideControl(control);
}

SInt32 SimpleGetControlValueByID(WindowRef theWindow, UInt32 theSig, SInt16 theID) {
    return GetControl32BitValue(SimpleGetControlByID(theWindow, theSig, theID));
}

void SimpleSetControlValueByID(WindowRef theWindow, UInt32 theSig, SInt16 theID, SInt32 theVal) {
    SetControl32BitValue(SimpleGetControlByID(theWindow, theSig, theID), theVal);
}

void SimpleEnableControlByID(WindowRef theWindow, UInt32 theSig, SInt16 theID) {
    EnableControl(SimpleGetControlByID(theWindow, theSig, theID));
}

void SimpleDisableControlByID(WindowRef theWindow, UInt32 theSig, SInt16 theID) {
    DisableControl(SimpleGetControlByID(theWindow, theSig, theID));
}

PString GetEditTextFromControl(WindowRef theWindow, UInt32 theSig, SInt16 theID) {
    char buffer[255];
    Size length = 0;
    if (ControlRef control = SimpleGetControlByID(theWindow, theSig, theID)) {
        if (GetControlData(control, kControlEntireControl, kControlEditTextTextTag, sizeof buffer, buffer,
                           &length) != noErr)
            length = 0;
        length = std::clamp<Size>(length, 0, 255);
    }
    return PString(std::string_view(buffer, size_t(length)));
}

SInt32 GetNumberFromEditTextControl(WindowRef theWindow, UInt32 theSig, SInt16 theID) {
    long number = 0;
    StringToNum(GetEditTextFromControl(theWindow, theSig, theID), &number);
    return SInt32(number);
}

void SetEditTextForControl(ConstStr255Param theText, WindowRef theWindow, UInt32 theSig, SInt16 theID) {
    if (ControlRef control = SimpleGetControlByID(theWindow, theSig, theID))
        SetControlData(control, kControlEntireControl, kControlEditTextTextTag, theText[0], theText + 1);
}

void SetEditTextToNumberForControl(SInt32 theNumber, WindowRef theWindow, UInt32 theSig, SInt16 theID) {
    Str255 text;
    NumToString(theNumber, text);
    SetEditTextForControl(text, theWindow, theSig, theID);
}

void SetKeyboadFocusByID(WindowRef theWindow, UInt32 theSig, SInt16 theID) {
    SetKeyboardFocus(theWindow, SimpleGetControlByID(theWindow, theSig, theID), kControlFocusNextPart);
}

void SelectTextByIDForControl(WindowRef theWindow, UInt32 theSig, SInt16 theID, SInt16 startSel,
                              SInt16 endSel) {
    ControlEditTextSelectionRec selection{startSel, endSel};
    SetControlData(SimpleGetControlByID(theWindow, theSig, theID), kControlEntireControl,
                   kControlEditTextSelectionTag, sizeof selection, &selection);
}

PString GetPopupItemText(ControlRef thePopup, SInt16 theItem) {
    Str255 text;
    GetMenuItemText(GetControlPopupMenuHandle(thePopup), MenuItemIndex(theItem), text);
    return PString(text);
}

PString GetSelectedPopupTextFromID(WindowRef theWindow, UInt32 theSig, SInt16 theID) {
    SInt32 value = SimpleGetControlValueByID(theWindow, theSig, theID);
    return GetPopupItemText(SimpleGetControlByID(theWindow, theSig, theID), SInt16(value & 0xFFFF));
}

PString GetIndexedPopupTextFromID(WindowRef theWindow, UInt32 theSig, SInt16 theID, SInt16 theIndex) {
    return GetPopupItemText(SimpleGetControlByID(theWindow, theSig, theID), theIndex);
}

SInt16 GetFontIDFromPopup(WindowRef theWindow, UInt32 theSig, SInt16 thePopup) {
    return FMGetFontFamilyFromName(GetSelectedPopupTextFromID(theWindow, theSig, thePopup));
}

SInt16 GetMenuItemPosition(ControlRef theControl, ConstStr255Param theName) {
    PString wanted(theName);
    SInt16 count = GetControlMaximum(theControl);
    for (SInt16 i = 1; i <= count && i > 0; ++i)
        if (GetPopupItemText(theControl, i) == wanted) return i;
    return -1;
}

SInt16 FindNameInPopupByID(WindowRef theWindow, UInt32 theSig, SInt16 theID, ConstStr255Param theName) {
    return GetMenuItemPosition(SimpleGetControlByID(theWindow, theSig, theID), theName);
}

void RegisterCustomControlClass(CFStringRef classID, EventHandlerProcPtr handler, UInt32 numEvents,
                                const EventTypeSpec* events, EventHandlerUPP& theUPP,
                                ToolboxObjectClassRef& theClass) {
    theUPP = NewEventHandlerUPP(handler);
    RegisterToolboxObjectClass(classID, nullptr, numEvents, events, theUPP, nullptr, &theClass);
}

void UnregisterCustomControlClass(EventHandlerUPP& theUPP, ToolboxObjectClassRef& theClass) {
    if (theClass) UnregisterToolboxObjectClass(theClass);
    theClass = nullptr;
    if (theUPP) DisposeEventHandlerUPP(theUPP);
    theUPP = nullptr;
}

void AnswerHitTestInBounds(ControlRef theControl, EventRef theEvent) {
    Point where{0, 0};
    GetEventParameter(theEvent, kEventParamMouseLocation, typeQDPoint, nullptr, sizeof where, nullptr,
                      &where);
    Rect bounds;
    GetControlBounds(theControl, &bounds);
    const ControlPartCode part = PtInRect(where, &bounds) ? 1 : 0;
    SetEventParameter(theEvent, kEventParamControlPart, typeControlPartCode, sizeof part, &part);
}

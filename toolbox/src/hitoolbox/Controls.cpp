// Controls: lookup, value and range, visibility and enabled state, data tags, focus, pop-up
// menus, custom control classes, and what a mouse down in a window does.
#include "HIObjects.h"

#include "../corefoundation/CFObject.h"
#include "../ToolboxState.h"
#include "toolbox/TextUtils.h"

#include <algorithm>
#include <cstring>

namespace toolbox::hi {

namespace {

constexpr OSStatus kClassExistsErr = -22080;

bool TakesClicks(ControlRef c) {
    return c->kind != Kind::StaticText && c->kind != Kind::GroupBox;
}

ControlPartCode TrackCustom(ControlRef c, Point where, UInt32 modifiers) {
    OpaqueEventRef hitTest;
    SetParam(&hitTest, kEventParamMouseLocation, typeQDPoint, where);
    SendControlEvent(c, kEventControlHitTest, &hitTest);
    ControlPartCode part = kControlNoPart;
    GetEventParameter(&hitTest, kEventParamControlPart, typeControlPartCode, nullptr, sizeof part, nullptr,
                      &part);
    if (part == kControlNoPart) return part;
    if (c->customClass && c->customClass->registered &&
        Lists(c->customClass->events, kEventClassControl, kEventControlTrack)) {
        OpaqueEventRef track;
        SetParam(&track, kEventParamMouseLocation, typeQDPoint, where);
        SetParam(&track, kEventParamKeyModifiers, typeUInt32, modifiers);
        SetParam(&track, kEventParamControlPart, typeControlPartCode, part);
        SendControlEvent(c, kEventControlTrack, &track);
        GetEventParameter(&track, kEventParamControlPart, typeControlPartCode, nullptr, sizeof part, nullptr,
                          &part);
    } else {
        part = TrackPress(c, part);
    }
    if (part == kControlNoPart || !IsControl(c)) return kControlNoPart;
    OpaqueEventRef hit;
    SetParam(&hit, kEventParamControlPart, typeControlPartCode, part);
    SetParam(&hit, kEventParamKeyModifiers, typeUInt32, modifiers);
    SendControlEvent(c, kEventControlHit, &hit);
    return part;
}

} // namespace

bool IsControl(ControlRef c) {
    if (!c) return false;
    for (OpaqueWindowPtr* w : gToolbox.windows)
        for (auto& own : w->controls)
            if (own.get() == c) return true;
    return false;
}

ControlRef FindControl(WindowRef w, OSType signature, SInt32 id) {
    if (!IsWindow(w)) return nullptr;
    for (auto& c : w->controls)
        if (c->id.signature == signature && c->id.id == id) return c.get();
    return nullptr;
}

void DrawControl(ControlRef c) {
    SavedGWorldRec saved;
    SetPort(c->owner->port);
    ClipRect(&c->owner->port->portRect);
    if (c->kind == Kind::Custom) {
        OpaqueEventRef event;
        SendControlEvent(c, kEventControlDraw, &event);
    } else {
        DrawStandard(c);
    }
}

void HandleMouseDown(WindowRef w, Point where, UInt32 modifiers) {
    ControlRef c = nullptr;
    for (auto it = w->controls.rbegin(); it != w->controls.rend() && !c; ++it)
        if ((*it)->visible && TakesClicks(it->get()) && PtInRect(where, &(*it)->bounds)) c = it->get();
    if (!c || !c->enabled) return;
    ControlPartCode part =
        c->kind == Kind::Custom ? TrackCustom(c, where, modifiers) : TrackStandard(c, where);
    if (part != kControlNoPart && IsControl(c) && c->command != 0) SendCommand(&c->target, c->command);
}

} // namespace toolbox::hi

using namespace toolbox;
using namespace toolbox::hi;

extern "C" {

OSStatus GetControlByID(WindowRef inWindow, const ControlID* inID, ControlRef* outControl) {
    if (!outControl) return paramErr;
    *outControl = inID ? FindControl(inWindow, inID->signature, inID->id) : nullptr;
    return *outControl ? OSStatus(noErr) : OSStatus(errUnknownControl);
}

SInt32 GetControl32BitValue(ControlRef theControl) {
    return IsControl(theControl) ? theControl->value : 0;
}

void SetControl32BitValue(ControlRef theControl, SInt32 newValue) {
    if (!IsControl(theControl)) return;
    newValue = std::clamp(newValue, theControl->minimum, std::max(theControl->minimum, theControl->maximum));
    if (newValue == theControl->value) return;
    theControl->value = newValue;
    Draw1Control(theControl);
}

void SetControl32BitMinimum(ControlRef theControl, SInt32 newMinimum) {
    if (!IsControl(theControl)) return;
    theControl->minimum = newMinimum;
    theControl->maximum = std::max(theControl->maximum, newMinimum);
    theControl->value = std::clamp(theControl->value, newMinimum, theControl->maximum);
    Draw1Control(theControl);
}

SInt32 GetControl32BitMaximum(ControlRef theControl) {
    return IsControl(theControl) ? theControl->maximum : 0;
}

void SetControl32BitMaximum(ControlRef theControl, SInt32 newMaximum) {
    if (!IsControl(theControl)) return;
    theControl->maximum = newMaximum;
    theControl->minimum = std::min(theControl->minimum, newMaximum);
    theControl->value = std::clamp(theControl->value, theControl->minimum, newMaximum);
    Draw1Control(theControl);
}

SInt16 GetControlMaximum(ControlRef theControl) {
    return SInt16(std::clamp<SInt32>(GetControl32BitMaximum(theControl), -32768, 32767));
}

void ShowControl(ControlRef inControl) {
    if (!IsControl(inControl) || inControl->visible) return;
    inControl->visible = true;
    Draw1Control(inControl);
}

void HideControl(ControlRef inControl) {
    if (!IsControl(inControl) || !inControl->visible) return;
    inControl->visible = false;
    if (inControl->owner->focus == inControl) inControl->owner->focus = nullptr;
    DrawControls(inControl->owner); // what lay beneath shows again
}

Boolean IsControlVisible(ControlRef inControl) {
    return IsControl(inControl) && inControl->visible;
}

OSStatus EnableControl(ControlRef inControl) {
    if (!IsControl(inControl)) return controlHandleInvalidErr;
    if (!inControl->enabled) {
        inControl->enabled = true;
        Draw1Control(inControl);
    }
    return noErr;
}

OSStatus DisableControl(ControlRef inControl) {
    if (!IsControl(inControl)) return controlHandleInvalidErr;
    if (inControl->enabled) {
        inControl->enabled = false;
        Draw1Control(inControl);
    }
    return noErr;
}

Rect* GetControlBounds(ControlRef control, Rect* bounds) {
    if (bounds) *bounds = IsControl(control) ? control->bounds : Rect{0, 0, 0, 0};
    return bounds;
}

UInt16 GetControlHilite(ControlRef control) {
    if (!IsControl(control)) return 0;
    return control->enabled ? control->hilite : UInt16(kControlDisabledPart);
}

WindowRef GetControlOwner(ControlRef control) {
    return IsControl(control) ? control->owner : nullptr;
}

void SetControlAction(ControlRef theControl, ControlActionUPP actionProc) {
    if (IsControl(theControl)) theControl->action = actionProc;
}

ControlActionUPP NewControlActionUPP(ControlActionProcPtr userRoutine) {
    return userRoutine;
}

OSErr SetControlData(ControlRef inControl, ControlPartCode, ResTypeTag inTagName, Size inSize,
                     const void* inData) {
    if (!IsControl(inControl)) return controlHandleInvalidErr;
    if (inSize < 0 || (inSize > 0 && !inData)) return paramErr;
    ControlRef c = inControl;
    if (inTagName == kControlEditTextTextTag && c->kind != Kind::Slider && c->kind != Kind::Custom) {
        c->text.assign(inSize > 0 ? static_cast<const char*>(inData) : "", size_t(inSize));
        c->selStart = c->selEnd = SInt16(std::min<size_t>(c->text.size(), 32767));
        return noErr;
    }
    if (inTagName == kControlEditTextSelectionTag && c->kind == Kind::EditText) {
        if (inSize < Size(sizeof(ControlEditTextSelectionRec))) return paramErr;
        ControlEditTextSelectionRec sel;
        std::memcpy(&sel, inData, sizeof sel);
        SInt16 len = SInt16(std::min<size_t>(c->text.size(), 32767));
        c->selStart = std::clamp<SInt16>(sel.selStart, 0, len);
        c->selEnd = std::clamp<SInt16>(sel.selEnd, c->selStart, len);
        return noErr;
    }
    return errDataNotSupported;
}

OSErr GetControlData(ControlRef inControl, ControlPartCode, ResTypeTag inTagName, Size inBufferSize,
                     void* inBuffer, Size* outActualSize) {
    if (!IsControl(inControl)) return controlHandleInvalidErr;
    if (inBufferSize < 0 || (inBufferSize > 0 && !inBuffer)) return paramErr;
    ControlRef c = inControl;
    if (inTagName == kControlEditTextTextTag && c->kind != Kind::Slider && c->kind != Kind::Custom) {
        size_t n = std::min<size_t>(size_t(inBufferSize), c->text.size());
        if (n > 0) std::memcpy(inBuffer, c->text.data(), n);
        if (outActualSize) *outActualSize = Size(c->text.size());
        return noErr;
    }
    if (inTagName == kControlEditTextSelectionTag && c->kind == Kind::EditText) {
        ControlEditTextSelectionRec sel{c->selStart, c->selEnd};
        if (inBufferSize > 0) std::memcpy(inBuffer, &sel, std::min<size_t>(size_t(inBufferSize), sizeof sel));
        if (outActualSize) *outActualSize = Size(sizeof sel);
        return noErr;
    }
    return errDataNotSupported;
}

void Draw1Control(ControlRef theControl) {
    if (IsControl(theControl) && theControl->visible) DrawControl(theControl);
}

MenuRef GetControlPopupMenuHandle(ControlRef control) {
    return IsControl(control) && control->menu ? control->menu.get() : nullptr;
}

OSErr SetKeyboardFocus(WindowRef inWindow, ControlRef inControl, ControlFocusPart inPart) {
    if (!IsWindow(inWindow)) return paramErr;
    ControlRef old = inWindow->focus;
    if (!inControl || inPart == kControlFocusNoPart) {
        inWindow->focus = nullptr;
    } else {
        if (!IsControl(inControl) || inControl->owner != inWindow) return paramErr;
        if (inControl->kind != Kind::EditText) return errControlDoesntSupportFocus;
        inWindow->focus = inControl;
        inControl->selStart = 0;
        inControl->selEnd = SInt16(std::min<size_t>(inControl->text.size(), 32767));
    }
    if (old && old != inWindow->focus) Draw1Control(old);
    if (inWindow->focus) Draw1Control(inWindow->focus);
    return noErr;
}

OSErr GetKeyboardFocus(WindowRef inWindow, ControlRef* outControl) {
    if (!IsWindow(inWindow) || !outControl) return paramErr;
    *outControl = inWindow->focus;
    return noErr;
}

void GetMenuItemText(MenuRef theMenu, MenuItemIndex item, Str255 itemString) {
    if (!itemString) return;
    if (!theMenu || item < 1 || item > theMenu->items.size()) {
        itemString[0] = 0;
        return;
    }
    SetPascal(itemString, theMenu->items[item - 1]);
}

OSStatus RegisterToolboxObjectClass(CFStringRef inClassID, ToolboxObjectClassRef, UInt32 inNumEvents,
                                    const EventTypeSpec* inEventList, EventHandlerUPP inEventHandler,
                                    void* inEventHandlerData, ToolboxObjectClassRef* outClassRef) {
    std::string id = CFStringToUtf8(inClassID);
    if (id.empty() || !inEventHandler || (inNumEvents > 0 && !inEventList)) return paramErr;
    if (gToolbox.controlClasses.count(id)) return kClassExistsErr;
    auto cls = std::make_shared<ControlClass>();
    cls->identifier = id;
    cls->events.assign(inEventList, inEventList + inNumEvents);
    cls->handler = inEventHandler;
    cls->userData = inEventHandlerData;
    gToolbox.controlClasses[id] = cls;
    if (outClassRef) *outClassRef = reinterpret_cast<ToolboxObjectClassRef>(cls.get());
    return noErr;
}

OSStatus UnregisterToolboxObjectClass(ToolboxObjectClassRef inClassRef) {
    auto& classes = gToolbox.controlClasses;
    for (auto it = classes.begin(); it != classes.end(); ++it) {
        if (reinterpret_cast<ToolboxObjectClassRef>(it->second.get()) != inClassRef) continue;
        it->second->registered = false; // controls still made from it get no more events
        classes.erase(it);
        return noErr;
    }
    return paramErr;
}

} // extern "C"

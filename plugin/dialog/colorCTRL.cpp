// The colour box control class: drawing, hit testing, and the colour picker on a hit.
#include "dialog/colorCTRL.h"

#include "render/pixelBuffers.h"
#include "util/CarbonMacros.h"
#include "util/PString.h"

#include "toolbox/ColorPicker.h"
#include "toolbox/Controls.h"
#include "toolbox/MacWindows.h"

#include <cstring>

namespace {

// The events the class is registered for: the first kColorBoxEventCount of this list.
const EventTypeSpec kColorBoxEvents[] = {
    {kEventClassControl, kEventControlDraw},
    {kEventClassControl, kEventControlHitTest},
    {kEventClassControl, kEventControlHit},
    {kEventClassControl, kEventControlActivate},
    {kEventClassControl, kEventControlOwningWindowChanged},
};
constexpr UInt32 kColorBoxEventCount = 3;

// Moveable, modal, colour-managed application, shown in the picker's own dialog.
constexpr UInt32 kPickerFlags = kColorPickerDialogIsMoveable | kColorPickerDialogIsModal |
                                kColorPickerAppIsColorSyncAware | kColorPickerInPickerDialog;

ToolboxObjectClassRef lgColorBoxClass = nullptr;
EventHandlerUPP lgColorBoxUPP = nullptr;

void AnswerHit(ControlRef theControl) {
    const RGBColor inColor = LongInt2RGBColor(GetControl32BitValue(theControl));
    RGBColor outColor;
    if (UseColorPicker(Point{0, 0}, PString("Please choose color:"), inColor, outColor))
        SetControl32BitValue(theControl, RGBColor2LongInt(outColor));
}

void DrawColorBox(ControlRef theControl) {
    SavedGWorldRec saved;
    SetPortWindowPort(GetControlOwner(theControl));
    Rect bounds;
    GetControlBounds(theControl, &bounds);
    const UInt16 hilite = GetControlHilite(theControl);
    if (hilite == kControlInactivePart || hilite == kControlDisabledPart)
        EraseRect(&bounds); // an inactive or disabled box shows no colour
    else
        ColorBoxDraw(bounds, LongInt2RGBColor(GetControl32BitValue(theControl)));
}

} // namespace

void RegisterColorBox() {
    RegisterCustomControlClass(CFSTR(kColorBoxClassID), ColorBoxControlHandler, kColorBoxEventCount,
                               kColorBoxEvents, lgColorBoxUPP, lgColorBoxClass);
}

void UnregisterColorBox() {
    UnregisterCustomControlClass(lgColorBoxUPP, lgColorBoxClass);
}

OSStatus ColorBoxControlHandler(EventHandlerCallRef, EventRef theEvent, void*) {
    ControlRef theControl = GetControlFromEvent(theEvent);
    if (!theControl) return eventNotHandledErr;
    switch (GetEventKind(theEvent)) {
        case kEventControlHit:
            AnswerHit(theControl);
            return eventNotHandledErr; // the platform's own handling of the hit follows
        case kEventControlHitTest:
            AnswerHitTestInBounds(theControl, theEvent);
            return noErr;
        case kEventControlDraw:
            DrawColorBox(theControl);
            return noErr;
        default:
            return eventNotHandledErr;
    }
}

void ColorBoxDraw(Rect theRect, RGBColor theColor) {
    RGBForeColor(&theColor);
    PaintRect(&theRect);
    const RGBColor black = SetRGBColor(0, 0, 0);
    RGBForeColor(&black);
    FrameRect(&theRect);
}

Boolean UseColorPicker(Point where, ConstStr255Param prompt, RGBColor inColor, RGBColor& outColor) {
    NColorPickerInfo info;
    std::memset(&info, 0, sizeof info); // no profiles, routines, menu information; placement 0
    info.theColor.color.rgb = inColor;
    info.flags = kPickerFlags;
    info.dialogOrigin = where;
    info.pickerType = 0;
    std::memcpy(info.prompt, prompt, size_t(prompt[0]) + 1);
    info.newColorChosen = false;
    const OSErr err = NPickColor(&info);
    if (err != noErr || !info.newColorChosen) return false;
    outColor = info.theColor.color.rgb;
    return true;
}

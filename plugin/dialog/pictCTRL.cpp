// The picture control class: drawing the fitted image, hit testing, and passing hits on.
#include "dialog/pictCTRL.h"

#include "render/CGGlue.h"
#include "render/pixelBuffers.h"
#include "util/CarbonMacros.h"
#include "util/commonprocs.h"

#include "toolbox/Controls.h"
#include "toolbox/MacWindows.h"

#include <algorithm>
#include <vector>

namespace {

// The events the class is registered for: the first kPictureEventCount of this list.
const EventTypeSpec kPictureEvents[] = {
    {kEventClassControl, kEventControlDraw},
    {kEventClassControl, kEventControlHitTest},
    {kEventClassControl, kEventControlHit},
    {kEventClassControl, kEventControlActivate},
    {kEventClassControl, kEventControlOwningWindowChanged},
};
constexpr UInt32 kPictureEventCount = 3;

ToolboxObjectClassRef lgPictureClass = nullptr;
EventHandlerUPP lgPictureUPP = nullptr;
std::vector<CGImageRef> lgPictureImages; // value v names lgPictureImages[v - 1]

void DrawPictureControl(ControlRef theControl) {
    WindowRef theWindow = GetControlOwner(theControl);
    CGrafPtr thePort = GetWindowPort(theWindow);
    if (!thePort) return;
    SavedGWorldRec saved;
    SetPortWindowPort(theWindow);
    Rect bounds;
    GetControlBounds(theControl, &bounds);
    const UInt16 hilite = GetControlHilite(theControl);
    if (hilite != kControlInactivePart && hilite != kControlDisabledPart) {
        const RGBColor white = SetRGBColor(-1, -1, -1), black = SetRGBColor(0, 0, 0);
        RGBBackColor(&white);
        EraseRect(&bounds);
        if (CGImageRef theImage = PictureImageForValue(GetControl32BitValue(theControl))) {
            Rect imageRect = CalcProportionalImageForFrame(theImage, bounds);
            CenterRectInRect(imageRect, bounds);
            DrawCGImageInQDRect(thePort, theImage, imageRect, 0.0f, false);
        }
        RGBForeColor(&black);
        FrameRect(&bounds);
        if (hilite > 0) InvertRect(&bounds); // pressed
    }
}

} // namespace

void RegisterPictureControl() {
    RegisterCustomControlClass(CFSTR(kPictureControlClassID), PictureControlHandler, kPictureEventCount,
                               kPictureEvents, lgPictureUPP, lgPictureClass);
}

void UnregisterPictureControl() {
    UnregisterCustomControlClass(lgPictureUPP, lgPictureClass);
    lgPictureImages.clear();
}

OSStatus PictureControlHandler(EventHandlerCallRef, EventRef theEvent, void*) {
    ControlRef theControl = GetControlFromEvent(theEvent);
    if (!theControl) return eventNotHandledErr;
    switch (GetEventKind(theEvent)) {
        case kEventControlHit:
            (void)GetControl32BitValue(theControl);
            return eventNotHandledErr; // the platform's own handling of the click follows
        case kEventControlHitTest:
            AnswerHitTestInBounds(theControl, theEvent);
            return noErr;
        case kEventControlDraw:
        case kEventControlActivate:
        case kEventControlOwningWindowChanged:
            DrawPictureControl(theControl);
            return noErr;
        default:
            return eventNotHandledErr;
    }
}

void PictureBoxDraw(Rect theRect) {
    const RGBColor black = SetRGBColor(0, 0, 0);
    RGBForeColor(&black);
    FrameRect(&theRect);
}

SInt32 PictureValueForImage(CGImageRef theImage) {
    if (!theImage) return 0;
    auto it = std::find(lgPictureImages.begin(), lgPictureImages.end(), theImage);
    if (it == lgPictureImages.end()) it = lgPictureImages.insert(it, theImage);
    return SInt32(it - lgPictureImages.begin()) + 1;
}

CGImageRef PictureImageForValue(SInt32 theValue) {
    if (theValue < 1 || size_t(theValue) > lgPictureImages.size()) return nullptr;
    return lgPictureImages[size_t(theValue) - 1];
}

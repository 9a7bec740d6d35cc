// The clip frame control class: draws the processed preview scaled into the control with
// the effect rectangle and its corner handles, finds which handle a click grabs, and drags.
#include "dialog/clipCTRL.h"

#include "dialog/configdlghandler.h"
#include "model/DataHandling.h"
#include "model/relRects.h"
#include "render/callPixelFX.h"
#include "render/pixelBuffers.h"
#include "util/CarbonMacros.h"
#include "util/commonprocs.h"

#include "toolbox/Controls.h"

#include <algorithm>

namespace {

const EventTypeSpec kClipCtrlEvents[] = {
    {kEventClassControl, kEventControlDraw},
    {kEventClassControl, kEventControlHitTest},
    {kEventClassControl, kEventControlHit},
    {kEventClassControl, kEventControlActivate},
    {kEventClassControl, kEventControlOwningWindowChanged},
    {kEventClassControl, kEventControlTrack},
};

constexpr SInt16 kHandleReach = 6; // a handle is the 12 x 12 square around its corner

ToolboxObjectClassRef lgClipCtrlClassRef1 = nullptr;
EventHandlerUPP lgMyHandlerUPP = nullptr;

Rect HandleArea(SInt16 h, SInt16 v) {
    Rect r;
    SetRect(&r, h, v, h, v);
    InsetRect(&r, -kHandleReach, -kHandleReach);
    return r;
}

Point MouseOfEvent(EventRef theEvent) {
    Point where{0, 0};
    GetEventParameter(theEvent, kEventParamMouseLocation, typeQDPoint, nullptr, sizeof where, nullptr,
                      &where);
    return where;
}

void AnswerDraw(ControlRef theControl) {
    SavedGWorldRec saved;
    WindowRef theWindow = GetControlOwner(theControl);
    Rect controlBounds;
    GetControlBounds(theControl, &controlBounds);
    SetPortWindowPort(gConfigWorkSpace.theWindow ? gConfigWorkSpace.theWindow : theWindow);
    const UInt16 hilite = GetControlHilite(theControl);
    if (hilite != kControlDisabledPart && hilite < kControlInactivePart)
        DrawFrameContents(theWindow, controlBounds);
}

void AnswerHitTest(ControlRef theControl, EventRef theEvent) {
    const Point mouseLocation = MouseOfEvent(theEvent);
    Rect controlBounds;
    GetControlBounds(theControl, &controlBounds);
    SInt16 whatPart = kNoHandle;
    if (PtInRect(mouseLocation, &controlBounds) && gConfigWorkSpace.theConfig)
        whatPart = IsHandleHit(Rel2Rect(gConfigWorkSpace.theConfig->startRel, controlBounds), mouseLocation);
    const ControlPartCode part = whatPart;
    SetEventParameter(theEvent, kEventParamControlPart, typeControlPartCode, sizeof part, &part);
}

// One step of a drag: the rectangle goes to the record, the preview is rendered and drawn.
void ApplyDragStep(WindowRef theWindow, const Rect& testRect, const Rect& controlBounds) {
    PutCurrentRel(Rect2Rel(testRect, controlBounds));
    CallPixelEffect(gConfigWorkSpace.sourceClip, gConfigWorkSpace.theFXClip);
    DrawFrameContents(theWindow, controlBounds);
}

void AnswerTrack(ControlRef theControl, EventRef theEvent) {
    Point mouseLocation = MouseOfEvent(theEvent);
    UInt32 modifierKeys = 0;
    GetEventParameter(theEvent, kEventParamKeyModifiers, typeUInt32, nullptr, sizeof modifierKeys, nullptr,
                      &modifierKeys);
    WindowRef theWindow =
        gConfigWorkSpace.theWindow ? gConfigWorkSpace.theWindow : GetControlOwner(theControl);
    if (!gConfigWorkSpace.theConfig) return;
    SetPortWindowPort(theWindow);
    Rect controlBounds;
    GetControlBounds(theControl, &controlBounds);
    ClipRect(&controlBounds);

    Rect testRect = Rel2Rect(gConfigWorkSpace.theConfig->startRel, controlBounds);
    const Rect origRect = testRect;
    const RelRect origRel = GetCurrentRel();
    const SInt16 whatPart = IsHandleHit(testRect, mouseLocation);
    Point newLoc = mouseLocation;
    MouseTrackingResult trackingResult = kMouseTrackingMouseDown;
    while (trackingResult != kMouseTrackingMouseUp) {
        if (trackingResult == kMouseTrackingMouseDragged && PtInRect(newLoc, &controlBounds)) {
            if (whatPart >= kTopLeftHandle && whatPart <= kBottomRightHandle) {
                testRect = origRect;
                DragCorner(whatPart, testRect, mouseLocation, newLoc, modifierKeys, controlBounds, origRel);
                ApplyDragStep(theWindow, testRect, controlBounds);
            } else if (whatPart == kInsideRect) {
                DragRect(testRect, mouseLocation, newLoc, modifierKeys);
                mouseLocation = newLoc;
                ApplyDragStep(theWindow, testRect, controlBounds);
            }
        }
        TrackMouseLocation(GetWindowPort(theWindow), &newLoc, &trackingResult);
    }
}

} // namespace

void RegisterClipCtrl() {
    RegisterCustomControlClass(CFSTR(kClipCtrlClassID), ClipCtrlControlHandler,
                               sizeof kClipCtrlEvents / sizeof kClipCtrlEvents[0], kClipCtrlEvents,
                               lgMyHandlerUPP, lgClipCtrlClassRef1);
}

void UnregisterClipCtrl() {
    UnregisterCustomControlClass(lgMyHandlerUPP, lgClipCtrlClassRef1);
}

OSStatus ClipCtrlControlHandler(EventHandlerCallRef, EventRef theEvent, void*) {
    ControlRef theControl = GetControlFromEvent(theEvent);
    if (!theControl) return eventNotHandledErr;
    OSStatus status = eventNotHandledErr;
    switch (GetEventKind(theEvent)) {
        case kEventControlDraw:
        case kEventControlActivate:
        case kEventControlOwningWindowChanged:
            AnswerDraw(theControl);
            status = noErr;
            break;
        case kEventControlHitTest:
            AnswerHitTest(theControl, theEvent);
            status = noErr;
            break;
        case kEventControlHit:
            GetControl32BitValue(theControl);
            status = noErr;
            break;
        case kEventControlTrack:
            AnswerTrack(theControl, theEvent);
            status = noErr;
            break;
        default:
            break;
    }
    if (gConfigWorkSpace.theWindow) {
        CGrafPtr port = GetWindowPort(gConfigWorkSpace.theWindow);
        Rect portRect;
        GetPortBounds(port, &portRect);
        SavedGWorldRec saved;
        SetGWorld(port, nullptr);
        ClipRect(&portRect);
    }
    return status;
}

SInt16 IsHandleHit(Rect theRect, Point theLoc) {
    const Rect areas[4] = {HandleArea(theRect.left, theRect.top), HandleArea(theRect.right, theRect.top),
                           HandleArea(theRect.left, theRect.bottom),
                           HandleArea(theRect.right, theRect.bottom)};
    for (SInt16 i = 0; i < 4; ++i)
        if (PtInRect(theLoc, &areas[i])) return SInt16(i + 1);
    return PtInRect(theLoc, &theRect) ? kInsideRect : kNoHandle;
}

void DrawHandles(Rect theRect, RGBColor) {
    const RGBColor white = SetRGBColor(-1, -1, -1), black = SetRGBColor(0, 0, 0);
    RGBForeColor(&white);
    PenMode(srcOr);
    const Point corners[4] = {{theRect.top, theRect.left},
                              {theRect.top, theRect.right},
                              {theRect.bottom, theRect.left},
                              {theRect.bottom, theRect.right}};
    for (const Point& c : corners) {
        Rect h = HandleArea(c.h, c.v);
        const RGBColor* rings[3] = {&black, &white, &black};
        for (const RGBColor* ring : rings) {
            RGBForeColor(ring);
            FrameOval(&h);
            InsetRect(&h, 1, 1);
        }
    }
    PenNormal();
}

void DrawFrameContents(WindowRef theWindow, Rect destRect) {
    const RGBColor white = SetRGBColor(-1, -1, -1), black = SetRGBColor(0, 0, 0);
    RGBBackColor(&white);
    RGBForeColor(&black);
    CGrafPtr port = GetWindowPort(theWindow);
    if (gConfigWorkSpace.theFXClip) {
        Rect srcRect;
        GetPortBounds(gConfigWorkSpace.theFXClip, &srcRect);
        CopyBits(GetPortBitMapForCopyBits(gConfigWorkSpace.theFXClip), GetPortBitMapForCopyBits(port),
                 &srcRect, &destRect, srcCopy, nullptr);
    }
    Rect portRect;
    GetPortBounds(port, &portRect);
    ClipRect(&destRect);
    if (gConfigWorkSpace.theConfig) {
        RGBForeColor(&gConfigWorkSpace.theConfig->frameStartColor);
        const Rect theFrame = Rel2Rect(gConfigWorkSpace.theConfig->startRel, destRect);
        FrameRect(&theFrame);
        if (gConfigWorkSpace.activeRel == 1)
            DrawHandles(theFrame, gConfigWorkSpace.theConfig->frameStartColor);
    }
    ClipRect(&portRect);
    RGBForeColor(&black);
    FrameRect(&destRect);
}

void DragRect(Rect& theRect, Point oldLoc, Point newLoc, UInt32) {
    OffsetRect(&theRect, SInt16(newLoc.h - oldLoc.h), SInt16(newLoc.v - oldLoc.v));
}

void DragCorner(SInt16 theHandle, Rect& theRect, Point oldLoc, Point newLoc, UInt32 modifiers, Rect theFrame,
                RelRect origRel) {
    Point varPoint, fixPoint;
    switch (theHandle) {
        case kTopLeftHandle:
            varPoint = {theRect.top, theRect.left};
            fixPoint = {theRect.bottom, theRect.right};
            break;
        case kTopRightHandle:
            varPoint = {theRect.top, theRect.right};
            fixPoint = {theRect.bottom, theRect.left};
            break;
        case kBottomLeftHandle:
            varPoint = {theRect.bottom, theRect.left};
            fixPoint = {theRect.top, theRect.right};
            break;
        case kBottomRightHandle:
            varPoint = {theRect.bottom, theRect.right};
            fixPoint = {theRect.top, theRect.left};
            break;
        default:
            return;
    }
    const SInt16 dx = SInt16(newLoc.h - oldLoc.h), dy = SInt16(newLoc.v - oldLoc.v);
    varPoint.h = SInt16(varPoint.h + dx);
    varPoint.v = SInt16(varPoint.v + dy);
    if (modifiers & optionKey) {
        fixPoint.h = SInt16(fixPoint.h - dx);
        fixPoint.v = SInt16(fixPoint.v - dy);
    }
    // The rectangle spanned by both corners, normalised: a corner dragged across the opposite
    // one flips the rectangle.
    SetRect(&theRect, std::min(varPoint.h, fixPoint.h), std::min(varPoint.v, fixPoint.v),
            std::max(varPoint.h, fixPoint.h), std::max(varPoint.v, fixPoint.v));
    if (modifiers & shiftKey) {
        const Rect origRect = Rel2Rect(origRel, theFrame);
        SInt32 wid, hig;
        GetDims(origRect, wid, hig);
        theRect = wid > hig ? KeepPropsWithFixedHorizontal(origRect, theRect)
                            : KeepPropsWithFixedVertical(origRect, theRect);
    }
    KeepImageProps(theRect);
}

void KeepImageProps(Rect& theRect) {
    if (!gConfigWorkSpace.theConfig || !gConfigWorkSpace.theConfig->keepProps) return;
    SInt32 wid, hig;
    GetDims(GetControlBox(gConfigWorkSpace.theFrameCtrl), wid, hig);
    Rect propRect;
    SetRect(&propRect, 0, 0, SInt16(wid), SInt16(hig));
    theRect = wid > hig ? KeepPropsWithFixedHorizontal(propRect, theRect)
                        : KeepPropsWithFixedVertical(propRect, theRect);
}

void CalcAndKeepImageProps() {
    const RelRect theRel = GetCurrentRel();
    Rect theFrame;
    GetControlBounds(gConfigWorkSpace.theFrameCtrl, &theFrame);
    Rect theRect = Rel2Rect(theRel, theFrame);
    KeepImageProps(theRect);
    PutCurrentRel(Rect2Rel(theRect, theFrame));
}

// The clip frame control: the dialog's large preview with the effect rectangle, which the
// user moves by dragging inside it and resizes by its corner handles.
#pragma once

#include "model/PluginDefines.h"

#include "toolbox/CarbonEvents.h"
#include "toolbox/MacWindows.h"

#define kClipCtrlClassID "com.quorvel.vantrel.clip"

// Hit test parts.
enum : SInt16 {
    kNoHandle = 0,
    kTopLeftHandle = 1,
    kTopRightHandle = 2,
    kBottomLeftHandle = 3,
    kBottomRightHandle = 4,
    kInsideRect = 5
};

void RegisterClipCtrl();
void UnregisterClipCtrl();
OSStatus ClipCtrlControlHandler(EventHandlerCallRef myHandler, EventRef theEvent, void* userData);
SInt16 IsHandleHit(Rect theRect, Point theLoc);
void DrawHandles(Rect theRect, RGBColor theColor);
void DrawFrameContents(WindowRef theWindow, Rect destRect);
void DragRect(Rect& theRect, Point oldLoc, Point newLoc, UInt32 modifiers);
void DragCorner(SInt16 theHandle, Rect& theRect, Point oldLoc, Point newLoc, UInt32 modifiers, Rect theFrame,
                RelRect origRel);
void KeepImageProps(Rect& theRect);
void CalcAndKeepImageProps();

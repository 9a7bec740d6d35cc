/* Windows: each has a content port (a 32-bit pixel buffer like an offscreen buffer, its
 * top-left at (0, 0)), a list of controls, an event target, and a default and a cancel
 * command that return and escape send. Windows are shown in a real window or kept headless
 * according to the input source (see toolbox/InputSources.h). */
#pragma once

#include "toolbox/CarbonEvents.h"
#include "toolbox/MacTypes.h"
#include "toolbox/QuickDraw.h"

typedef WindowRef WindowPtr;
typedef UInt16 WindowRegionCode;
enum { kWindowStructureRgn = 32, kWindowContentRgn = 33 };

/* The title bar and border around the content, in pixels. */
enum { kWindowTitleBarHeight = 22, kWindowBorderWidth = 1 };

TB_EXTERN_C_BEGIN

void ShowWindow(WindowRef window);
void HideWindow(WindowRef window);
void BringToFront(WindowRef window);
/* Ends a modal loop running for the window, removes its handlers and controls. */
void DisposeWindow(WindowRef window);
CGrafPtr GetWindowPort(WindowRef window);
void SetPortWindowPort(WindowRef window);
/* Global bounds of the content or of the whole window (structure: content, title bar and
 * border). */
OSStatus GetWindowBounds(WindowRef window, WindowRegionCode regionCode, Rect* globalBounds);
/* Moves the content's top-left to the global point (hGlobal, vGlobal). */
void MoveWindow(WindowRef window, short hGlobal, short vGlobal, Boolean front);
/* Shows the port's pixels on screen now (for a window's port; nothing for others). */
void QDFlushPortBuffer(CGrafPtr port, RgnHandle region);

/* Runs input for the window until QuitAppModalLoopForWindow (or DisposeWindow) ends the
 * loop. Loops nest: a handler may run a loop of its own for another window. */
OSStatus RunAppModalLoopForWindow(WindowRef inWindow);
OSStatus QuitAppModalLoopForWindow(WindowRef inWindow);

/* Erases the window to its background and draws its visible controls. */
void DrawControls(WindowRef window);

TB_EXTERN_C_END

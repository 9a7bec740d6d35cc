// Procedures the whole plug-in shares: windows from the bundle's window descriptions,
// numbers and short strings, four-character commands, rectangles fitted proportionally,
// justified text in a box, modifier keys and posted commands.
#pragma once

#include "util/PString.h"

#include "toolbox/CFBundle.h"
#include "toolbox/Files.h"
#include "toolbox/MacWindows.h"
#include "toolbox/QuickDraw.h"

// Windows from descriptions. Both end the process when the description cannot be opened
// (a stop alert) or the window cannot be made from it (exit status = low byte of the code).
WindowRef OpenNibWindow(const char* theNib, const char* theWindow);
WindowRef OpenNibWindowFromCFBundle(const char* theIdentifier, const char* theNib, const char* theWindow);
void FlushWindowBuffer(WindowRef theWindow);
void MoveWindowToRightEdge(WindowRef theWindow, Rect theRect);

// Numbers and strings.
PString Num2Text(SInt32 theNum);
void String2Real(ConstStr255Param theString, double& theNumber);
PString Real2String(double theReal);
CFStringRef MakeCFString(ConstStr255Param theString); // the caller releases it
PString CF2PString(CFStringRef theCFRef);
PString Command2String(UInt32 theCommand);
UInt32 String2Command(ConstStr255Param theString);
void ZeroDelimitString(Str255 theStr);
void SwapInt(SInt16& i1, SInt16& i2);
SInt16 Sgn(double theVal);
SInt16 CarbonHiWord(SInt32 x);
SInt16 CarbonLoWord(SInt32 x);
Ptr CloneObject(Ptr theObject);
PString URL2Str255(CFURLRef theURL);
CFURLRef PString2URL(ConstStr255Param theString); // the caller releases it

// File references. A failed conversion gives a FSSpec record or reference that names no
// file (all zero), which every caller treats as no file; platform codes are not passed on.
FSSpec FSRef2FSSpec(const FSRef& theRef);
FSRef FSSpec2FSRef(const FSSpec& theFSS);
CFStringRef FSRef2CFString(const FSRef& theFSRef); // the file's URL text; the caller releases it
CFStringRef FSSpec2CFString(const FSSpec& theFSS); // the caller releases it
PString FSRef2Str255(const FSRef& theFSRef);
PString GetNameFromFSRef(const FSRef& theFSRef);
Boolean IsFileAFolder(const FSRef& theFile);

// Keyboard and commands.
Boolean IsShiftDown();
Boolean IsOptionDown();
Boolean IsCtrlDown();
Boolean IsCommandDown();
void PostCommand(ConstStr255Param theCommand);

// Rectangles.
Rect KeepPropsWithFixedHorizontal(Rect inOriginal, Rect inNewSize);
Rect KeepPropsWithFixedVertical(Rect inOriginal, Rect inNewSize);
Rect CalcProportionalRectForFrame(Rect inRect, Rect inFrame);
void CenterRectInRect(Rect& theRect, Rect inRect);
void VerifyRect(Rect& theRect);

// Text in a box, in the current port with its current font. Justification 1 left,
// 2 centre, 3 right.
enum { kJustifyLeft = 1, kJustifyCenter = 2, kJustifyRight = 3 };
void DrawJustifiedTextInBox(Rect theBox, SInt16 theJustification, double theTextHeight,
                            ConstStr255Param theText);
void PaintJustifiedRect(Rect theBox, SInt16 theJustification, ConstStr255Param theText);

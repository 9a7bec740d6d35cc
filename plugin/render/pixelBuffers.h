// Pixel buffers: the 32-bit pixel record, direct access to a buffer's pixels, allocating,
// cloning, clearing and copying buffers, and the three colour forms (pixel, packed 24-bit
// integer, 16-bit-per-channel RGBColor).
#pragma once

#include "toolbox/QuickDraw.h"

// One pixel, exactly as it lies in buffer memory (alpha at the lowest address).
struct PixRec {
    UInt8 alpha;
    UInt8 red;
    UInt8 green;
    UInt8 blue;
};
typedef PixRec* PixRecPtr;
static_assert(sizeof(PixRec) == 4);

// Direct pixel access. The buffer is locked on return; the caller restores pixFlags with
// SetPixelsState(GetGWorldPixMap(theGW), pixFlags) when done.
void GetPixInfoFromGWorld(GWorldPtr theGW, Ptr& pixBaseAddress, SInt32& pixRowBytes, Rect& theFrame,
                          UInt32& pixFlags);
SInt16 GetGWDepth(GWorldPtr theGW);
SInt16 Depth2Size(SInt16 theDepth);
void PGetPixel(Ptr srcBaseAddr, SInt32 rowBytes, SInt16 x, SInt16 y, PixRec& thePixel);
void PSetPixel(Ptr srcBaseAddr, SInt32 rowBytes, SInt16 x, SInt16 y, PixRecPtr thePixel);
void Put32BitPixelInPixmap(PixRec thePixel, Ptr dstBaseAddress, SInt16 x, SInt16 y, SInt32 dstRowBytes,
                           SInt16 targetDepth);
void Pixel2RGBA(PixRec thePixel, RGBColor& theRGB, SInt16& theAlpha);

// Buffer operations.
Rect GetPortRect(GrafPtr thePort);
Rect CarbonGetPortBounds(CGrafPtr port);
BitMap CarbonGetPortBitMapForCopyBits(CGrafPtr port);
RGBColor SetRGBColor(SInt16 r, SInt16 g, SInt16 b);
void LockGWorld(GWorldPtr theGW);
GWorldPtr AllocateGWorld(SInt16 wid, SInt16 hig);
GWorldPtr AllocateRectGWorld(Rect theRect);
GWorldPtr MakeGWorldClone(GWorldPtr theGW);
void ClearGW(GWorldPtr theGW, RGBColor theColor);
void Source2Target(GWorldPtr theSource, GWorldPtr theTarget);
void DrawGWInGW(GWorldPtr theSource, GWorldPtr theDest, Rect theRect);
void DrawPictureInGW(GWorldPtr theGW, PicHandle theP, Rect theRect);
void GetDims(const Rect& theRect, SInt32& wid, SInt32& hig);

// Colour conversions. Packed colours are 0x00RRGGBB.
PixRec LongInt2PixRec(SInt32 theLong);
SInt32 PixRec2LongInt(PixRec thePixRec);
SInt32 RGBColor2LongInt(RGBColor theColor);
RGBColor LongInt2RGBColor(SInt32 theLong);

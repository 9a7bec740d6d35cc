#include "render/pixelBuffers.h"

#include <cstring>

namespace {

Ptr PixelAddress(Ptr base, SInt32 rowBytes, SInt16 x, SInt16 y, SInt32 size) {
    return base + SInt32(y) * rowBytes + SInt32(x) * size;
}

// Colours that make CopyBits copy without colourising.
void SetCopyColours() {
    RGBColor white = SetRGBColor(-1, -1, -1), black = SetRGBColor(0, 0, 0);
    RGBBackColor(&white);
    RGBForeColor(&black);
}

} // namespace

void GetPixInfoFromGWorld(GWorldPtr theGW, Ptr& pixBaseAddress, SInt32& pixRowBytes, Rect& theFrame,
                          UInt32& pixFlags) {
    PixMapHandle pm = GetGWorldPixMap(theGW);
    pixFlags = GetPixelsState(pm);
    LockPixels(pm);
    pixBaseAddress = GetPixBaseAddr(pm);
    pixRowBytes = SInt32(GetPixRowBytes(pm));
    GetPortBounds(theGW, &theFrame);
}

SInt16 GetGWDepth(GWorldPtr theGW) {
    return GetPixDepth(GetGWorldPixMap(theGW));
}

SInt16 Depth2Size(SInt16 theDepth) {
    switch (theDepth) {
        case 8:
            return 1;
        case 16:
            return 2;
        default:
            return 4;
    }
}

void PGetPixel(Ptr srcBaseAddr, SInt32 rowBytes, SInt16 x, SInt16 y, PixRec& thePixel) {
    std::memcpy(&thePixel, PixelAddress(srcBaseAddr, rowBytes, x, y, 4), 4);
}

void PSetPixel(Ptr srcBaseAddr, SInt32 rowBytes, SInt16 x, SInt16 y, PixRecPtr thePixel) {
    std::memcpy(PixelAddress(srcBaseAddr, rowBytes, x, y, 4), thePixel, 4);
}

void Put32BitPixelInPixmap(PixRec thePixel, Ptr dstBaseAddress, SInt16 x, SInt16 y, SInt32 dstRowBytes,
                           SInt16 targetDepth) {
    SInt32 size = targetDepth == 24 ? 3 : Depth2Size(targetDepth);
    Ptr p = PixelAddress(dstBaseAddress, dstRowBytes, x, y, size);
    switch (targetDepth) {
        case 8:
            *p = char(thePixel.red);
            break;
        case 16: {
            UInt16 v =
                UInt16(((thePixel.red >> 3) << 10) + ((thePixel.green >> 3) << 5) + (thePixel.blue >> 3));
            std::memcpy(p, &v, 2);
            break;
        }
        case 24: { // red, green, blue: the pixel without its alpha
            const UInt8 rgb[3] = {thePixel.red, thePixel.green, thePixel.blue};
            std::memcpy(p, rgb, 3);
            break;
        }
        default:
            std::memcpy(p, &thePixel, 4);
            break;
    }
}

void Pixel2RGBA(PixRec thePixel, RGBColor& theRGB, SInt16& theAlpha) {
    theRGB.red = UInt16(thePixel.red << 8);
    theRGB.green = UInt16(thePixel.green << 8);
    theRGB.blue = UInt16(thePixel.blue << 8);
    theAlpha = thePixel.alpha;
}

Rect GetPortRect(GrafPtr thePort) {
    return CarbonGetPortBounds(thePort);
}

Rect CarbonGetPortBounds(CGrafPtr port) {
    Rect r;
    GetPortBounds(port, &r);
    return r;
}

BitMap CarbonGetPortBitMapForCopyBits(CGrafPtr port) {
    BitMap bits{};
    if (const BitMap* p = GetPortBitMapForCopyBits(port)) std::memcpy(&bits, p, sizeof bits);
    return bits;
}

RGBColor SetRGBColor(SInt16 r, SInt16 g, SInt16 b) {
    return RGBColor{UInt16(r), UInt16(g), UInt16(b)};
}

void LockGWorld(GWorldPtr theGW) {
    if (!theGW) return;
    PixMapHandle pm = GetGWorldPixMap(theGW);
    (void)GetPixelsState(pm);
    LockPixels(pm);
}

GWorldPtr AllocateGWorld(SInt16 wid, SInt16 hig) {
    Rect bounds{0, 0, hig, wid};
    GWorldPtr gw = nullptr;
    if (NewGWorld(&gw, 32, &bounds, nullptr, nullptr, 0) != noErr) return nullptr;
    LockGWorld(gw);
    return gw;
}

GWorldPtr AllocateRectGWorld(Rect theRect) {
    OffsetRect(&theRect, SInt16(-theRect.left), SInt16(-theRect.top));
    return AllocateGWorld(theRect.right, theRect.bottom);
}

GWorldPtr MakeGWorldClone(GWorldPtr theGW) {
    if (!theGW) return nullptr;
    Rect theRect = CarbonGetPortBounds(theGW);
    GWorldPtr newGW = AllocateRectGWorld(theRect);
    if (!newGW) return nullptr;
    // The clone's bounds start at the origin; the source rectangle is in the source's coordinates.
    Rect dstRect = CarbonGetPortBounds(newGW);
    CopyBits(GetPortBitMapForCopyBits(theGW), GetPortBitMapForCopyBits(newGW), &theRect, &dstRect, srcCopy,
             nullptr);
    return newGW;
}

void ClearGW(GWorldPtr theGW, RGBColor theColor) {
    if (!theGW) return;
    Rect theRect = CarbonGetPortBounds(theGW);
    SavedGWorldRec saved;
    SetGWorld(theGW, nullptr);
    RGBForeColor(&theColor);
    PaintRect(&theRect);
    RGBColor black = SetRGBColor(0, 0, 0);
    RGBForeColor(&black);
}

void Source2Target(GWorldPtr theSource, GWorldPtr theTarget) {
    if (!theSource || !theTarget) return;
    DrawGWInGW(theSource, theTarget, CarbonGetPortBounds(theTarget));
}

void DrawGWInGW(GWorldPtr theSource, GWorldPtr theDest, Rect theRect) {
    SetCopyColours();
    Rect srcRect = CarbonGetPortBounds(theSource);
    CopyBits(GetPortBitMapForCopyBits(theSource), GetPortBitMapForCopyBits(theDest), &srcRect, &theRect,
             srcCopy, nullptr);
}

void DrawPictureInGW(GWorldPtr theGW, PicHandle theP, Rect theRect) {
    if (!theGW || !theP) return;
    SavedGWorldRec saved;
    SetGWorld(theGW, nullptr);
    DrawPicture(theP, &theRect);
}

void GetDims(const Rect& theRect, SInt32& wid, SInt32& hig) {
    wid = SInt32(theRect.right) - SInt32(theRect.left);
    hig = SInt32(theRect.bottom) - SInt32(theRect.top);
}

PixRec LongInt2PixRec(SInt32 theLong) {
    UInt32 v = UInt32(theLong);
    return PixRec{0, UInt8((v >> 16) & 0xFF), UInt8((v >> 8) & 0xFF), UInt8(v & 0xFF)};
}

SInt32 PixRec2LongInt(PixRec thePixRec) {
    return SInt32(thePixRec.red) * 65536 + SInt32(thePixRec.green) * 256 + SInt32(thePixRec.blue);
}

SInt32 RGBColor2LongInt(RGBColor theColor) {
    PixRec p{0, UInt8(theColor.red >> 8), UInt8(theColor.green >> 8), UInt8(theColor.blue >> 8)};
    return PixRec2LongInt(p);
}

RGBColor LongInt2RGBColor(SInt32 theLong) {
    PixRec p = LongInt2PixRec(theLong);
    return SetRGBColor(SInt16(p.red * 256), SInt16(p.green * 256), SInt16(p.blue * 256));
}

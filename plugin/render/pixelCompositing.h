// Brush compositing on 32-bit pixel buffers: each call paints around one brush position.
// A square of size s at (x, y) covers columns x to x + s - 1 and rows y to y + s - 1; a square
// of radius r around (x, y) covers x - r to x + r and y - r to y + r. Positions outside a
// buffer are skipped; a nil buffer or a brush point outside the buffer makes an operation do
// nothing. Every buffer's pixel state is restored before an operation returns.
#pragma once

#include "render/pixelBuffers.h"

// Every pixel inside theActiveRect becomes alpha 0 and the colour r, g, b.
void SetPixmapPixels(GWorldPtr theDest, Rect theActiveRect, UInt8 r, UInt8 g, UInt8 b);

// Blends the square of theSize at (x, y) towards theRGB by theAlpha (0.0 to 1.0); alpha kept.
void PSetGWPixelUsingAlpha(GWorldPtr theSource, SInt16 x, SInt16 y, double theAlpha, RGBColor theRGB,
                           SInt16 theSize);

// Sets the square of theSize at (x, y) to theRGB with the given alpha.
void PSetGWPixelAndAlpha(GWorldPtr theSource, SInt16 x, SInt16 y, RGBColor theRGB, SInt16 alpha,
                         SInt16 theSize);

// Mixes the square of theSize at (sx, sy) of theSource1 (weight alpha / 255) and theSource2
// (the rest) into the square at (tx, ty) of theTarget; the result keeps theSource1's alpha.
void PCombineGWAndPutUsingAlpha(GWorldPtr theSource1, GWorldPtr theSource2, GWorldPtr theTarget, SInt16 sx,
                                SInt16 sy, SInt16 tx, SInt16 ty, SInt16 alpha, Boolean invertAlpha,
                                SInt16 theSize);

// The average of the square of radius around (x, y) of theSource1, and of theSource2 when it
// is not nil (weighted by its alpha when useS2Alpha), with alpha smudgeAlpha.
void PSmudgePixel(GWorldPtr theSource1, GWorldPtr theSource2, SInt16 radius, SInt16 x, SInt16 y,
                  Boolean useS2Alpha, SInt16 smudgeAlpha, PixRec& result);

// Stores thePixel in the square of radius size around (x, y). blend and round are accepted
// and have no effect: the square is always solid.
void PPlotPixel(GWorldPtr theTarget, SInt16 x, SInt16 y, SInt16 size, Boolean blend, Boolean round,
                PixRec thePixel);

// Rotates theActiveRect of theSource about its centre by phi radians into theDest.
void RotatePixmap(GWorldPtr theSource, GWorldPtr theDest, Rect theActiveRect, double phi);

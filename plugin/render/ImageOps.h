// Image operations on 32-bit pixel buffers: arithmetic between two buffers, inversion,
// brightening and darkening by another buffer, alpha blending, a seed fill with a colour
// tolerance, scrolling with wrap-around, a four-corner distortion, copying and swapping a
// rectangle, and setting the alpha channel.
//
// Every operation works in place on the caller's buffers. activeRect is in buffer
// coordinates and half-open (top <= row < bottom, left <= column < right); pixels outside it
// are left alone unless an operation says otherwise. The result pixel keeps the first
// source's alpha unless stated. A nil buffer, buffers of different sizes or a position
// outside a buffer make an operation do nothing; every buffer's pixel state is restored
// before an operation returns (AccessPixel excepted).
#pragma once

#include "render/pixelBuffers.h"

// Buffers for AverageGWorlds: entries 1 to gwNum are used, entry 0 never.
typedef GWorldPtr GWorldList[101];

// Two-buffer arithmetic; dest may be either source.
void AddGWorlds(GWorldPtr source1, GWorldPtr source2, GWorldPtr dest, Rect activeRect, Boolean normalise,
                Boolean useAlpha, Boolean useSource1, Boolean invertAlpha);
void AddWeightedGWorlds(GWorldPtr source1, GWorldPtr source2, GWorldPtr dest, SInt16 w1, SInt16 w2,
                        Rect activeRect);
void AverageGWorlds(const GWorldList source, GWorldPtr dest, SInt16 gwNum, Rect activeRect);
void SubtractGWorlds(GWorldPtr source1, GWorldPtr source2, GWorldPtr dest, Rect activeRect, Boolean calcDiff,
                     Boolean useAlpha, Boolean useSource1, Boolean invertAlpha, double amplifyer,
                     double threshold);
void MultiplyGWorlds(GWorldPtr source1, GWorldPtr source2, GWorldPtr dest, Rect activeRect);
void DivideGWorlds(GWorldPtr source1, GWorldPtr source2, GWorldPtr dest, Rect activeRect);

// Inversion and brightness.
void InvertGWorlds(GWorldPtr source1, GWorldPtr dest, Rect activeRect);
void TriggerInvertGWorlds(GWorldPtr source1, GWorldPtr dest, SInt16 value, Boolean whenAbove,
                          Rect activeRect);
void BrightenGWByGW(GWorldPtr source1, GWorldPtr source2, GWorldPtr dest, Boolean invert, Rect activeRect);
void DarkenGWByGW(GWorldPtr source1, GWorldPtr source2, GWorldPtr dest, Boolean invert, Rect activeRect);

// Seed fill of the region around (x, y) whose colours differ from the seed's by less than
// maxDelta in every channel.
void FillGW(GWorldPtr theGW, RGBColor fillColor, SInt16 x, SInt16 y, SInt16 alpha, SInt16 maxDelta);

// Moving pixels; source1 and dest must be different buffers.
void RollGWorlds(GWorldPtr source1, GWorldPtr dest, Rect activeRect, SInt16 hDisp, SInt16 vDisp,
                 Boolean roll);
void DistortGWorlds(GWorldPtr source1, GWorldPtr dest, Rect activeRect, Point tl, Point tr, Point bl,
                    Point br, Boolean collectAndAverage);
void CalcNewCoords(Rect origRect, Point tl, Point tr, Point bl, Point br, SInt16 x, SInt16 y, SInt16& nx,
                   SInt16& ny);
void AvgPixels(PixRec& newPixel, PixRec oldPixel);

// Copying, swapping and blending a rectangle.
void CopyPartOfGWorlds(GWorldPtr source1, GWorldPtr dest, Rect activeRect);
void SwapPartOfGWorlds(GWorldPtr source1, GWorldPtr dest, Rect activeRect);
void AlphaBlit2(GWorldPtr source1, GWorldPtr dest, Rect activeRect, SInt16 alpha, Boolean copyRest);

// The alpha channel of a whole buffer.
void SetFixedAlpha(GWorldPtr source1, SInt16 alpha);
void SetFixedAlphaOld(GWorldPtr source1, SInt16 alpha);
void KillAlphaNull(GWorldPtr source1);
void KillAlphaFull(GWorldPtr source1);

// Reads one pixel; a position outside the buffer gives the marker alpha 0, red 1, green 2,
// blue 3. The buffer is left locked.
void AccessPixel(GWorldPtr source, SInt16 x, SInt16 y, PixRec& thePixel);

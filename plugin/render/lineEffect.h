// The dialog's two preview routines over images and buffers.
#pragma once

#include "model/PluginDefines.h"
#include "toolbox/QuickDraw.h"

// Replaces theConfig's theRendered (releasing the old one) by an image of theOriginalImage
// at its own size; with no original, theRendered is left empty.
void RenderLineArt(PluginDataPtr theConfig);

// Copies activeRect of source onto the whole of dest, then lays the whole source over it
// with the opacity sliders[3] percent. copyRest, currFrame and maxFrame do not matter.
void TheLineEffect(GWorldPtr source, GWorldPtr dest, Rect activeRect, Boolean copyRest,
                   PluginDataPtr theConfig, SInt32 currFrame, SInt32 maxFrame);

// The inversion pixel pass: inside a rectangle each colour channel is blended with its
// inverse by the configuration's per-channel amount and the pixel becomes opaque; the rest
// of the buffer is copied unchanged.
#pragma once

#include "model/PluginDefines.h"
#include "toolbox/QuickDraw.h"

void PixelDrive(GWorldPtr source, GWorldPtr dest, Rect theRect, PluginDataPtr theConfig, SInt32 currentFrame,
                SInt32 numFrames, double s1, double s2, double s3);
void ThePixelEffect(GWorldPtr source, GWorldPtr dest, Rect activeRect, Boolean copyRest,
                    PluginDataPtr theConfig, SInt32 currentFrame, SInt32 maxFrame, double s1, double s2,
                    double s3);
// Whether PixelEffect with copy-rest set writes every pixel of dest from source (false when
// their extents differ, and then it writes none).
bool PixelEffectWritesWholeTarget(GWorldPtr source, GWorldPtr dest);
// A null dest works in place. Buffers of different extent are left untouched, as is
// everything when the configuration is missing.
void PixelEffect(GWorldPtr source, GWorldPtr dest, Rect activeRect, Boolean copyRest,
                 PluginDataPtr theConfig);

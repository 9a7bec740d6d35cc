// The two ways into the pixel pass: the render path (one host frame) and the dialog's preview.
#pragma once

#include "HYPlugin.h"
#include "model/PluginDefines.h"

void DoEffect(PluginDataPtr myConfig, HYPluginParams* params, GWorldPtr theSource, GWorldPtr theTarget,
              SInt32 currentFrameIndex, SInt32 fadeInFrames, SInt32 fadeOutFrames, SInt32 totalFrames,
              float s1, float s2, float s3, SInt16& opacity);
void DoFramePixelEffect(GWorldPtr source, GWorldPtr target, PluginDataPtr config, SInt32 currentFrameIndex,
                        SInt32 maxFrames, double s1, double s2, double s3);
// Copies source into dest, then runs the pass with the dialog's configuration.
void CallPixelEffect(GWorldPtr source, GWorldPtr dest);

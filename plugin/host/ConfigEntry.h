// The host's custom button: opens the configuration dialog on a frame of the clip.
#pragma once

#include "HYPlugin.h"
#include "model/PluginDefines.h"

HYPluginResult CustomButton(short which, HYPluginParams* params);
SInt16 GetMediaFormat(PluginDataPtr theData);
void ConfigurePlugIn(PluginDataPtr theData, GWorldPtr theGW, HYPluginParams* params, SInt32 firstFrameIndex,
                     SInt32 numberOfFrames);

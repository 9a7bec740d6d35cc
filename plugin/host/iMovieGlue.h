// Fetching movie frames from the host into the plug-in's own buffers.
#pragma once

#include "HYPlugin.h"

constexpr SInt16 kProxyQualityMaxRows = 259;

// A frame number as the host is asked for it: 32 bits, numbers past either end of that range
// pinned to the end.
SInt32 PinFrameIndex(SInt64 frameIndex);

// The fetch quality for a frame of this height.
HYRefDVQuality FrameQuality(const HYPluginParams* params, SInt32 height);

// Fetches the frame at frameIndex (relative to params->startFrame) scaled into the whole of
// theGW. −1 for a negative absolute index, otherwise the host's result.
SInt16 GetFrameIntoGW(GWorldPtr theGW, HYPluginParams* params, SInt32 frameIndex, SInt16 disposeAfterUse);

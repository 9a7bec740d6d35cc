// The entry point: checks every host call, initialises the plug-in on the first one and
// hands each selector to its handler.
#pragma once

#include "HYPlugin.h"
#include "model/PluginDefines.h"

// Process-wide state of the entry layer, zero while the plug-in is freshly loaded.
extern Boolean gEffectLayerInited;
extern PluginDataPtr gMasterConfig;
extern SInt32 gMostRecentStartFrame; // startFrame of the last kPlugDoFrame
extern SInt32 gMostRecentFrameCount; // frameCount of the last kPlugDoFrame

// The exported entry under its C++ name, for hosts that link the plug-in in.
int PluginMain(short which, HYPluginParams* params);

void InitEffectLayer();
void InitMyPlugIn(PluginDataPtr theData);

// Returns the entry layer to its freshly loaded state, as unloading the bundle would;
// frees the master record through the host's DisposePtr. For hosts that link the
// plug-in in and want a second life of it in the same process.
void UnloadEffectLayer(HYProcs* procs);

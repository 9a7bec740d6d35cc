// The render pass: kPlugInitialize, kPlugDoFrame per frame, kPlugTerminate; and placeholders.
#pragma once

#include "HYPlugin.h"
#include "model/PluginDefines.h"

// The render pass's record, hung on params.clientData from kPlugInitialize to kPlugTerminate.
struct EffectData {
    SInt32 frameCount; // not used
    SInt32 effectSourceCount;
    Float32 sliderValues[3]; // the host's slider values for the clip
    SInt32 fadeInFrames;     // never negative
    SInt32 fadeOutFrames;    // never negative
    GWorldPtr effectGWorld;  // scratch frame (or a view of the host's frame), alive only inside ApplyEffect
    PluginDataPtr effectConfig;
};

HYPluginResult EffectBegin(short which, HYPluginParams* params);
HYPluginResult EffectDrive(short which, HYPluginParams* params);
HYPluginResult EffectEnd(short which, HYPluginParams* params);
HYPluginResult MakeEffectPlaceHolder(short which, HYPluginParams* params);

HYPluginResult ApplyEffect(GWorldPtr sourceFrame, HYPluginParams* params);
void ApplyLineArtEffect(GWorldPtr sourceFrame, GWorldPtr targetFrame, HYPluginParams* params);

// Opacity at which the unprocessed frame is laid over the processed one; 0..255.
SInt16 FadeOpacity(SInt32 renderFrame, SInt32 frameCount, SInt32 fadeInFrames, SInt32 fadeOutFrames);
// Whether the frame lies in the fade-in or the fade-out.
bool IsFadeFrame(SInt32 renderFrame, SInt32 frameCount, SInt32 fadeInFrames, SInt32 fadeOutFrames);

// The configuration copy of the render pass open on params, or nil when none is open. It is
// valid from a kPlugInitialize that answered kPluginOK until kPlugTerminate on that block;
// changes made to it apply to that pass's later kPlugDoFrame calls and never reach the master
// configuration or the saved file. For hosts linked with the plug-in's units (the frei0r
// filter); a host that loads the bundle sees only `main`.
PluginDataPtr GetPassConfig(HYPluginParams* params);

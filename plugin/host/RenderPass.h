// The render pass: kPlugInitialize, kPlugDoFrame per frame, kPlugTerminate; and placeholders.
#pragma once

#include "HYPlugin.h"

HYPluginResult EffectBegin(short which, HYPluginParams* params);
HYPluginResult EffectDrive(short which, HYPluginParams* params);
HYPluginResult EffectEnd(short which, HYPluginParams* params);
HYPluginResult MakeEffectPlaceHolder(short which, HYPluginParams* params);

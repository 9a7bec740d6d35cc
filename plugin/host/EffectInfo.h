// The effect's description for the host (kPlugGetInfo).
#pragma once

#include "HYPlugin.h"

HYPluginResult EffectGetInfo(short which, HYPluginParams* params);

// The host sliders, button title and group (the second half of EffectGetInfo).
void SetFilterParamInfo(short which, HYPluginParams* params);

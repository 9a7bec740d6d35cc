// The effect's description for the host (kPlugGetInfo).
#pragma once

#include "HYPlugin.h"

HYPluginResult EffectGetInfo(short which, HYPluginParams* params);

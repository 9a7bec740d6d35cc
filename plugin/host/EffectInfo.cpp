#include "host/EffectInfo.h"

HYPluginResult EffectGetInfo(short, HYPluginParams* params) {
    params->getInfo.pluginType = kPluginFilterType;
    return kPluginOK;
}

#include "host/RenderPass.h"

// Rendering is not built yet: every pass succeeds and leaves the frame as it is.
HYPluginResult EffectBegin(short, HYPluginParams*) {
    return kPluginOK;
}
HYPluginResult EffectDrive(short, HYPluginParams*) {
    return kPluginOK;
}
HYPluginResult EffectEnd(short, HYPluginParams*) {
    return kPluginOK;
}
HYPluginResult MakeEffectPlaceHolder(short, HYPluginParams*) {
    return kPluginOK;
}

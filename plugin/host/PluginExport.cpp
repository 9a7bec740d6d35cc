// The bundle's one exported symbol: the C function `main` that hosts look up after loading
// the plug-in. It carries the asm name "main" so that the C++ side can give it an
// ordinary name of its own.
#include "host/EffectLayer.h"

extern "C" __attribute__((visibility("default"))) int
UmbrawashBundleMain(short which, HYPluginParams* params) __asm__("main");

extern "C" int UmbrawashBundleMain(short which, HYPluginParams* params) {
    return PluginMain(which, params);
}

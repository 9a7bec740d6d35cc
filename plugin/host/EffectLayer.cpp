#include "host/EffectLayer.h"

#include "host/ConfigEntry.h"
#include "host/EffectInfo.h"
#include "host/RenderPass.h"
#include "model/DataHandling.h"
#include "settings/prefsloader.h"
#include "util/failures.h"

Boolean gEffectLayerInited = false;
PluginDataPtr gMasterConfig = nullptr;
SInt32 gMostRecentStartFrame = 0;
SInt32 gMostRecentFrameCount = 0;

void InitEffectLayer() {}

void InitMyPlugIn(PluginDataPtr theData) {
    Assert(theData, "Unable to allocate new data structure");
    CreateSettingsFile();
    InitPluginData(theData);
}

int PluginMain(short which, HYPluginParams* params) {
    if (!params) return kPluginBadParams;
    if (SInt16(params->interfaceVersion) <= 3) return kPluginAppIsTooOld;

    if (!gEffectLayerInited) {
        InitEffectLayer();
        gEffectLayerInited = true;
    }
    if (!gMasterConfig) {
        UInt32 size = 0;
        pGetConfigSize(size);
        gMasterConfig = reinterpret_cast<PluginDataPtr>(params->procs->NewPtrClear(SInt32(size)));
        InitMyPlugIn(gMasterConfig);
    }

    HYPluginResult result = kPluginOK;
    switch (params->selector) {
        case kPlugGetInfo:
            result = EffectGetInfo(which, params);
            break;
        case kPlugInitialize:
            result = EffectBegin(which, params);
            break;
        case kPlugFilePlaceHolder:
            result = MakeEffectPlaceHolder(which, params);
            break;
        case kPlugDoFrame:
            result = EffectDrive(which, params);
            break;
        case kPlugTerminate:
            result = EffectEnd(which, params);
            break;
        case kPlugCustomButtonClick:
            result = CustomButton(which, params);
            break;
        default:
            break; // kPlugDrawIcon, kPlugDrawThumbNail, kPlugCallOnceWithInitAndTerminate and unknown
    }
    return int(result);
}

void UnloadEffectLayer(HYProcs* procs) {
    if (gMasterConfig && procs && procs->DisposePtr) procs->DisposePtr(reinterpret_cast<Ptr>(gMasterConfig));
    gMasterConfig = nullptr;
    gEffectLayerInited = false;
    gMostRecentStartFrame = 0;
    gMostRecentFrameCount = 0;
}

// The host's custom button: fetches a frame of the clip at the size of the configured video
// standard, prepares the dialog's working state and preview, and runs the dialog.
#include "host/ConfigEntry.h"

#include "dialog/clipCTRL.h"
#include "dialog/colorCTRL.h"
#include "dialog/configdlghandler.h"
#include "dialog/pictCTRL.h"
#include "host/EffectLayer.h"
#include "host/iMovieGlue.h"
#include "render/callPixelFX.h"
#include "render/pixelBuffers.h"
#include "util/failures.h"

namespace {

struct FrameSize {
    SInt16 width, height;
};

FrameSize MediaFrameSize(SInt16 mediaType) {
    switch (mediaType) {
        case kMediaPAL:
            return {720, 576};
        case kMediaHD:
            return {960, 540};
        default:
            return {720, 480};
    }
}

// The frame the dialog shows and scrubs into. It is the plug-in's own copy, so scrubbing
// never writes into a buffer the host still owns; with no frame from the host it is a black
// frame of the standard's size.
GWorldPtr MakeSourceClip(GWorldPtr theGW, PluginDataPtr theData) {
    if (theGW) return MakeGWorldClone(theGW);
    const FrameSize size = MediaFrameSize(GetMediaFormat(theData));
    GWorldPtr black = AllocateGWorld(size.width, size.height);
    if (black) ClearGW(black, SetRGBColor(0, 0, 0));
    return black;
}

} // namespace

HYPluginResult CustomButton(short, HYPluginParams* params) {
    const SInt32 frame = PinFrameIndex(SInt64(params->renderFrame) + gMostRecentStartFrame);
    const FrameSize size = MediaFrameSize(GetMediaFormat(gMasterConfig));
    GWorldPtr theGW = nullptr;
    SInt16 volume = 0;
    void* cookie = nullptr;
    params->procs->GetFrame(params->instance, frame, &theGW, size.width, size.height, kDVHighQuality, &volume,
                            &cookie);
    ConfigurePlugIn(gMasterConfig, theGW, params, frame, gMostRecentFrameCount);
    params->procs->ReleaseFrame(params->instance, cookie);
    return kPluginOK;
}

SInt16 GetMediaFormat(PluginDataPtr theData) {
    return theData ? theData->mediaType : SInt16(kMediaNTSC);
}

void ConfigurePlugIn(PluginDataPtr theData, GWorldPtr theGW, HYPluginParams* params, SInt32 firstFrameIndex,
                     SInt32 numberOfFrames) {
    gTheConfig = theData;
    gConfigWorkSpace.theConfig = theData;
    gConfigWorkSpace.iMovieParams = params;
    gConfigWorkSpace.currFrameIndex = 0;
    gConfigWorkSpace.minFrameIndex = firstFrameIndex;
    gConfigWorkSpace.maxFrameIndex = (numberOfFrames < 1 ? 1 : numberOfFrames) - 1;
    gConfigWorkSpace.activeRel = 1;

    GWorldPtr sourceClip = MakeSourceClip(theGW, theData);
    Assert(sourceClip, "Unable to allocate theProcessed in ConffigurePlug Init run");
    gConfigWorkSpace.sourceClip = sourceClip;
    GWorldPtr theProcessed = AllocateRectGWorld(GetPortRect(sourceClip));
    Assert(theProcessed, "Unable to allocate theProcessed in ConffigurePlug Init run");
    gConfigWorkSpace.theFXClip = theProcessed;
    Assert(theData, "uninited theData in Configure master proc. need to call init before calling me");
    CallPixelEffect(sourceClip, theProcessed);

    RegisterColorBox();
    RegisterClipCtrl();
    RegisterPictureControl();
    DoConfig(gTheConfig);
    UnregisterClipCtrl();
    UnregisterColorBox();
    UnregisterPictureControl();

    DisposeGWorld(gConfigWorkSpace.theFXClip);
    DisposeGWorld(sourceClip);
    gConfigWorkSpace = PluginWorkSpace{};
}

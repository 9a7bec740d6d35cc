#include "render/callPixelFX.h"

#include "dialog/configdlghandler.h"
#include "model/relRects.h"
#include "render/pixelBuffers.h"
#include "render/pixelEffect.h"
#include "util/failures.h"

// The fade values and opacity travel along for the host's sake; the pass does not use them.
void DoEffect(PluginDataPtr myConfig, HYPluginParams*, GWorldPtr theSource, GWorldPtr theTarget,
              SInt32 currentFrameIndex, SInt32, SInt32, SInt32 totalFrames, float s1, float s2, float s3,
              SInt16&) {
    Assert(myConfig, "uninited theData in Plugin Effect master proc. need to call init before calling me");
    SavedGWorldRec saved;
    DoFramePixelEffect(theSource, theTarget, myConfig, currentFrameIndex, totalFrames, s1, s2, s3);
}

void DoFramePixelEffect(GWorldPtr source, GWorldPtr target, PluginDataPtr config, SInt32 currentFrameIndex,
                        SInt32 maxFrames, double s1, double s2, double s3) {
    Rect theFrame = GetPortRect(target);
    Rect theRect = Rel2Rect(config->startRel, theFrame);
    PixelDrive(source, target, theRect, config, currentFrameIndex, maxFrames, s1, s2, s3);
}

void CallPixelEffect(GWorldPtr source, GWorldPtr dest) {
    if (!gConfigWorkSpace.theConfig) return;
    Rect theFrame = GetPortRect(dest);
    Source2Target(source, dest);
    Rect theRect = Rel2Rect(gConfigWorkSpace.theConfig->startRel, theFrame);
    PixelDrive(source, dest, theRect, gConfigWorkSpace.theConfig, gConfigWorkSpace.currFrameIndex,
               gConfigWorkSpace.maxFrameIndex, 0.0, 0.0, 0.0);
}

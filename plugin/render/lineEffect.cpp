// The rendered image of the dialog and the line effect's frame routine.
#include "render/lineEffect.h"

#include "render/CGGlue.h"
#include "render/pixelBuffers.h"
#include "util/failures.h"

namespace {

constexpr double kPercent = 100.0;

} // namespace

void RenderLineArt(PluginDataPtr theConfig) {
    Assert(theConfig, "nil config on RenderLineArt");
    if (theConfig->theRendered) {
        CGImageRelease(theConfig->theRendered);
        theConfig->theRendered = nullptr;
    }
    if (!theConfig->theOriginalImage) return;

    const Rect theRect = GetImageRect(theConfig->theOriginalImage);
    // An image too large for a buffer leaves the rendered image empty rather than drawing
    // into nothing.
    GWorldPtr theGW = AllocateRectGWorld(theRect);
    if (!theGW) return;
    DrawCGImageInQDRect(theGW, theConfig->theOriginalImage, theRect, 0.0f, true);
    theConfig->theRendered = GWorld2CGImage(theGW);
    DisposeGWorld(theGW);
}

void TheLineEffect(GWorldPtr source, GWorldPtr dest, Rect activeRect, Boolean, PluginDataPtr theConfig,
                   SInt32, SInt32) {
    if (!source || !dest || !theConfig) return;
    SavedGWorldRec saved;
    SetGWorld(dest, nullptr);

    const Rect targetRect = GetPortRect(dest);
    const RGBColor white = SetRGBColor(-1, -1, -1), black = SetRGBColor(0, 0, 0);
    RGBBackColor(&white);
    RGBForeColor(&black);
    CopyBits(GetPortBitMapForCopyBits(source), GetPortBitMapForCopyBits(dest), &activeRect, &targetRect,
             srcCopy, nullptr);

    if (theConfig->sliders[3] > 0) {
        CGImageRef theImage = GWorld2CGImage(source);
        Assert(theImage, "Cannot allocate CG image from source in theLineEffect");
        const double alpha = theConfig->sliders[3] / kPercent;
        DrawCGImageInQDRectWithAlpha(dest, theImage, targetRect, 0.0f, false, alpha, kCGBlendModeNormal);
        CGImageRelease(theImage);
    }
}

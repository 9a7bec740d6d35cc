// Slider actions run at every step of a drag: each stores its value, updates its text and
// re-renders the preview, so the user sees the effect while still holding the mouse.
#include "dialog/sliderHandlers.h"

#include "dialog/configdlghandler.h"
#include "host/iMovieGlue.h"
#include "render/callPixelFX.h"
#include "render/lineEffect.h"
#include "util/CarbonMacros.h"
#include "util/commonprocs.h"
#include "util/failures.h"

namespace {

void SliderAction(ControlRef theControl, SInt16 i) {
    const SInt32 currVal = GetControl32BitValue(theControl);
    gConfigWorkSpace.theConfig->sliders[i] = SInt16(currVal); // the record keeps the low 16 bits
    SimpleSetControlText(gConfigWorkSpace.theWindow, FourCC("Lgnd"), i, Num2Text(currVal) + "%");
    if (i == 1) RenderLineArt(gConfigWorkSpace.theConfig);
    ReRenderAndBlit();
}

constexpr const char* kSliderFailures[kNumSliders + 1] = {
    "",
    "Cannot access slider 1",
    "Cannot access slider 2",
    "Cannot access slider 3",
    "Cannot access slider 4",
    "Cannot access slider 5",
    "Cannot access slider 6",
};

} // namespace

void SetClipText(SInt32 position) {
    SimpleSetControlText(gConfigWorkSpace.theWindow, FourCC("ClpM"), 1,
                         Num2Text(position) + "/" + Num2Text(gConfigWorkSpace.maxFrameIndex));
}

void ReRenderAndBlit() {
    CallPixelEffect(gConfigWorkSpace.sourceClip, gConfigWorkSpace.theFXClip);
    ControlRef theCtrl = gConfigWorkSpace.theFrameCtrl;
    if (!theCtrl) return;
    SetControl32BitValue(theCtrl, GetControl32BitValue(theCtrl) > 0 ? 0 : 1); // makes the control redraw
}

void AccessRenderAndBlit(SInt32 theVal) {
    // The fetched frame stays the host's: ReleaseFrame hands it back, and disposing of it
    // here as well would free it twice.
    GetFrameIntoGW(gConfigWorkSpace.sourceClip, gConfigWorkSpace.iMovieParams,
                   PinFrameIndex(SInt64(gConfigWorkSpace.minFrameIndex) + theVal), 0);
    ReRenderAndBlit();
}

void ClipSliderAction(ControlRef theControl, ControlPartCode) {
    const SInt32 currVal = GetControl32BitValue(theControl);
    gConfigWorkSpace.currFrameIndex = currVal;
    SetClipText(currVal);
    AccessRenderAndBlit(currVal);
}

void Slider1Action(ControlRef theControl, ControlPartCode) {
    SliderAction(theControl, 1);
}
void Slider2Action(ControlRef theControl, ControlPartCode) {
    SliderAction(theControl, 2);
}
void Slider3Action(ControlRef theControl, ControlPartCode) {
    SliderAction(theControl, 3);
}
void Slider4Action(ControlRef theControl, ControlPartCode) {
    SliderAction(theControl, 4);
}
void Slider5Action(ControlRef theControl, ControlPartCode) {
    SliderAction(theControl, 5);
}
void Slider6Action(ControlRef theControl, ControlPartCode) {
    SliderAction(theControl, 6);
}

void SetupSliders(WindowRef theWindow) {
    static const ControlActionProcPtr kLiveActions[4] = {nullptr, Slider1Action, Slider2Action,
                                                         Slider3Action};
    PluginDataPtr theConfig = gConfigWorkSpace.theConfig;
    for (SInt16 i = 1; i <= 3; ++i) {
        ControlRef theSlider = SimpleGetControlByID(theWindow, FourCC("Sldr"), i);
        Assert(theSlider, kSliderFailures[i]);
        gConfigWorkSpace.sliders[i] = theSlider;
        SetControlAction(theSlider, NewControlActionUPP(kLiveActions[i]));
        SetControl32BitValue(theSlider, theConfig->sliders[i]);
        SimpleSetControlText(theWindow, FourCC("Lgnd"), i, Num2Text(theConfig->sliders[i]) + "%");
    }
    for (SInt16 i = 4; i <= kNumSliders; ++i) {
        ControlRef theSlider = SimpleGetControlByID(theWindow, FourCC("Sldr"), i);
        Assert(theSlider, kSliderFailures[i]);
        gConfigWorkSpace.sliders[i] = theSlider;
        SimpleHideControl(theWindow, FourCC("Sldr"), i);
        SimpleHideControl(theWindow, FourCC("Lgnd"), i);
        SimpleHideControl(theWindow, FourCC("Labl"), i);
    }
    ControlRef theClip = SimpleGetControlByID(theWindow, FourCC("ClpS"), 1);
    Assert(theClip, "Cannot access clip slider");
    gConfigWorkSpace.clipSlider = theClip;
    SetControlAction(theClip, NewControlActionUPP(ClipSliderAction));
    SetControl32BitMinimum(theClip, 0);
    SetControl32BitMaximum(theClip, gConfigWorkSpace.maxFrameIndex);
    SetControl32BitValue(theClip, gConfigWorkSpace.currFrameIndex);
    SetClipText(gConfigWorkSpace.currFrameIndex);
}

void KillSliders() {}

// One step of dragging the effect rectangle in the HD dialog: the rectangle goes to the
// record, the 960 x 540 preview is rendered with the effect and drawn into the window.
// Target: at most 4 ms a step, so that dragging stays smooth.
#include "dialog/clipCTRL.h"
#include "dialog/colorCTRL.h"
#include "dialog/configdlghandler.h"
#include "model/DataHandling.h"
#include "model/relRects.h"
#include "render/callPixelFX.h"
#include "render/pixelBuffers.h"

#include "toolbox/Controls.h"
#include "toolbox/MacWindows.h"
#include "toolbox/Nib.h"

#include <benchmark/benchmark.h>

namespace {

void BM_DragStepHD(benchmark::State& state) {
    RegisterClipCtrl();
    IBNibRef nib = nullptr;
    WindowRef window = nullptr;
    if (toolbox::CreateNibReferenceFromFile(UMBRAWASH_BUNDLE_RESOURCES "/umbrawash.json", &nib) != noErr) {
        state.SkipWithError("no window description");
        return;
    }
    RegisterColorBox(); // the window's colour boxes
    if (CreateWindowFromNib(nib, CFSTR("configHD"), &window) != noErr) {
        state.SkipWithError("cannot make the HD window");
        return;
    }
    PluginDataRec config{};
    ResetConfig(&config, true);
    GWorldPtr source = AllocateGWorld(960, 540), preview = AllocateGWorld(960, 540);
    ClearGW(source, SetRGBColor(0x4000, 0x8000, 0xC000));
    gConfigWorkSpace = PluginWorkSpace{};
    gConfigWorkSpace.theConfig = &config;
    gConfigWorkSpace.sourceClip = source;
    gConfigWorkSpace.theFXClip = preview;
    gConfigWorkSpace.activeRel = 1;
    gConfigWorkSpace.theWindow = window;
    const ControlID cid{FourCC("Clip"), 1};
    GetControlByID(window, &cid, &gConfigWorkSpace.theFrameCtrl);
    Rect bounds;
    GetControlBounds(gConfigWorkSpace.theFrameCtrl, &bounds);
    SetPortWindowPort(window);
    ClipRect(&bounds);

    Rect testRect = Rel2Rect(SetRelRect(0.25, 0.25, 0.75, 0.75), bounds);
    int step = 0;
    for (auto _ : state) {
        const SInt16 d = (step++ & 1) ? 3 : -3;
        DragRect(testRect, Point{0, 0}, Point{d, d}, 0);
        PutCurrentRel(Rect2Rel(testRect, bounds));
        CallPixelEffect(source, preview);
        DrawFrameContents(window, bounds);
        benchmark::ClobberMemory();
    }
    // The step really rendered: the middle of the preview is the source's inverse.
    Ptr base;
    SInt32 rowBytes;
    Rect frame;
    UInt32 flags;
    GetPixInfoFromGWorld(preview, base, rowBytes, frame, flags);
    PixRec middle;
    PGetPixel(base, rowBytes, 480, 270, middle);
    if (middle.red != 0xBF || middle.green != 0x7F || middle.blue != 0x3F)
        state.SkipWithError("not rendered");
    DisposeWindow(window);
    DisposeNibReference(nib);
    DisposeGWorld(source);
    DisposeGWorld(preview);
    gConfigWorkSpace = PluginWorkSpace{};
    UnregisterColorBox();
    UnregisterClipCtrl();
}
BENCHMARK(BM_DragStepHD)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();

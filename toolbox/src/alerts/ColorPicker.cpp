// The colour picker: a modal window with the prompt, a swatch of the colour, red, green
// and blue sliders (0 to 255, live), and OK and Cancel.
#include "toolbox/ColorPicker.h"

#include "../hitoolbox/HIObjects.h"
#include "../ToolboxState.h"
#include "toolbox/TextUtils.h"

namespace {

using namespace toolbox;
using namespace toolbox::hi;

constexpr OSType kSliderSignature = FourCC("Pick");
constexpr UInt32 kOK = FourCC("ok  "), kCancel = FourCC("not!");
constexpr const char* kSwatchClass = "toolbox.colorpicker.swatch";

struct Picker {
    WindowRef window = nullptr;
    ControlRef swatch = nullptr;
    bool chosen = false;
};

UInt16 Channel(WindowRef w, SInt32 id) {
    ControlRef c = FindControl(w, kSliderSignature, id);
    return UInt16(GetControl32BitValue(c) * 257);
}

OSStatus SwatchHandler(EventHandlerCallRef, EventRef event, void*) {
    ControlRef c = nullptr;
    GetEventParameter(event, kEventParamDirectObject, typeControlRef, nullptr, sizeof c, nullptr, &c);
    if (!c) return eventNotHandledErr;
    WindowRef w = GetControlOwner(c);
    RGBColor color{Channel(w, 1), Channel(w, 2), Channel(w, 3)};
    Rect r;
    GetControlBounds(c, &r);
    RGBForeColor(&color);
    PaintRect(&r);
    const RGBColor black{0, 0, 0};
    RGBForeColor(&black);
    FrameRect(&r);
    return noErr;
}

void SliderMoved(ControlRef slider, ControlPartCode) {
    Draw1Control(FindControl(GetControlOwner(slider), FourCC("Swat"), 1));
}

OSStatus PickerHandler(EventHandlerCallRef, EventRef event, void* userData) {
    auto* picker = static_cast<Picker*>(userData);
    HICommand command{};
    GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr,
                      &command);
    if (command.commandID != kOK && command.commandID != kCancel) return eventNotHandledErr;
    picker->chosen = command.commandID == kOK;
    QuitAppModalLoopForWindow(picker->window);
    return noErr;
}

WindowRef BuildWindow(const NColorPickerInfo& info) {
    OSStatus err = noErr;
    WindowRef w = NewWindow("colour picker", "Colours", Rect{140, 200, 380, 580}, err);
    if (!w) return nullptr;
    w->defaultCommand = kOK;
    w->cancelCommand = kCancel;
    std::string prompt(reinterpret_cast<const char*>(info.prompt + 1), info.prompt[0]);
    NewStandardControl(w, Kind::StaticText, FourCC("Prmt"), 1, Rect{16, 20, 36, 360}, prompt, 0, 0, 0, 0);
    auto swatch = std::make_unique<OpaqueControlRef>();
    swatch->kind = Kind::Custom;
    swatch->id = ControlID{FourCC("Swat"), 1};
    swatch->bounds = Rect{48, 20, 148, 120};
    swatch->customClass = gToolbox.controlClasses[kSwatchClass];
    AddControl(w, std::move(swatch));
    const char* names[3] = {"Red", "Green", "Blue"};
    const UInt16 start[3] = {info.theColor.color.rgb.red, info.theColor.color.rgb.green,
                             info.theColor.color.rgb.blue};
    for (int i = 0; i < 3; ++i) {
        SInt16 top = SInt16(52 + 32 * i);
        NewStandardControl(w, Kind::StaticText, FourCC("Plbl"), i + 1,
                           Rect{SInt16(top + 2), 136, SInt16(top + 20), 186}, names[i], 0, 0, 0, 0);
        ControlRef s =
            NewStandardControl(w, Kind::Slider, kSliderSignature, i + 1,
                               Rect{top, 190, SInt16(top + 22), 360}, "", 0, 255, start[i] >> 8, 0);
        s->action = SliderMoved;
    }
    NewStandardControl(w, Kind::Button, FourCC("Pbtn"), 1, Rect{196, 280, 220, 360}, "OK", 0, 0, 0, kOK);
    NewStandardControl(w, Kind::Button, FourCC("Pbtn"), 2, Rect{196, 188, 220, 268}, "Cancel", 0, 0, 0,
                       kCancel);
    DrawControls(w);
    return w;
}

} // namespace

extern "C" {

OSErr NPickColor(NColorPickerInfo* theColorInfo) {
    if (!theColorInfo) return paramErr;
    theColorInfo->newColorChosen = false;
    if (!gToolbox.controlClasses.count(kSwatchClass)) {
        static const EventTypeSpec kDraw{kEventClassControl, kEventControlDraw};
        CFStringRef id = CFStringCreateWithCString(nullptr, kSwatchClass, kCFStringEncodingUTF8);
        RegisterToolboxObjectClass(id, nullptr, 1, &kDraw, SwatchHandler, nullptr, nullptr);
        CFRelease(id);
    }
    Picker picker;
    picker.window = BuildWindow(*theColorInfo);
    if (!picker.window) return memFullErr;
    static const EventTypeSpec kCommand{kEventClassCommand, kEventCommandProcess};
    InstallEventHandler(GetWindowEventTarget(picker.window), PickerHandler, 1, &kCommand, &picker, nullptr);
    ShowWindow(picker.window);
    BringToFront(picker.window);
    RunAppModalLoopForWindow(picker.window);
    if (picker.chosen && IsWindow(picker.window)) {
        theColorInfo->theColor.color.rgb =
            RGBColor{Channel(picker.window, 1), Channel(picker.window, 2), Channel(picker.window, 3)};
        theColorInfo->newColorChosen = true;
    }
    DisposeWindow(picker.window);
    return noErr;
}

} // extern "C"

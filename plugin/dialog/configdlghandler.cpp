// The configuration dialog: opens the window of the record's video standard, sets it up from
// the record, answers its commands, and on OK saves the record or on Cancel puts the whole
// record back as it was.
#include "dialog/configdlghandler.h"

#include "dialog/aboutWindow.h"
#include "dialog/clipCTRL.h"
#include "dialog/sliderHandlers.h"
#include "model/DataHandling.h"
#include "model/relRects.h"
#include "render/lineEffect.h"
#include "render/pixelBuffers.h"
#include "settings/prefsloader.h"
#include "util/CarbonMacros.h"
#include "util/commonprocs.h"
#include "util/failures.h"

#include "toolbox/LaunchServices.h"
#include "toolbox/Quartz.h"

#include <climits>

PluginWorkSpace gConfigWorkSpace;
PluginDataPtr gTheConfig;

namespace {

enum : SInt16 { kReopen = 0, kItemOK = 1, kItemCancel = 2, kNoItem = -1 };

WindowRef lgTheWindow = nullptr;
SInt16 lgItemHit = kNoItem;

// Runs one window of the dialog until a command ends its modal loop.
void RunDialogWindow(PluginDataPtr theConfig) {
    lgTheWindow =
        OpenNibWindowFromCFBundle(kPluginBundleID, "umbrawash", ConfigWindowName(theConfig->mediaType));
    if (!lgTheWindow) {
        lgItemHit = kItemCancel; // a window that cannot be made ends the dialog, never retried
        return;
    }
    const EventTypeSpec commandEvent{kEventClassCommand, kEventCommandProcess};
    EventHandlerUPP theUPP = NewEventHandlerUPP(TheDialogHandler);
    InstallEventHandler(GetWindowEventTarget(lgTheWindow), theUPP, 1, &commandEvent, lgTheWindow, nullptr);
    SetupDialog(lgTheWindow, theConfig);
    ShowWindow(lgTheWindow);
    SetPortWindowPort(lgTheWindow);
    BringToFront(lgTheWindow);
    lgItemHit = kNoItem;
    RunAppModalLoopForWindow(lgTheWindow);
    if (lgItemHit != kReopen && lgItemHit != kItemOK) lgItemHit = kItemCancel; // escape, closed, no input
    DisposeWindow(lgTheWindow);
    DisposeEventHandlerUPP(theUPP);
    lgTheWindow = nullptr;
    gConfigWorkSpace.theWindow = nullptr;
}

// The copy taken at entry holds references of its own to the record's images, so that an
// image RenderLineArt releases meanwhile is still alive when Cancel brings it back.
void RetainImages(const PluginDataRec& theCopy) {
    if (theCopy.theOriginalImage) CGImageRetain(theCopy.theOriginalImage);
    if (theCopy.theRendered) CGImageRetain(theCopy.theRendered);
}

void ReleaseImages(const PluginDataRec& theRec) {
    if (theRec.theOriginalImage) CGImageRelease(theRec.theOriginalImage);
    if (theRec.theRendered) CGImageRelease(theRec.theRendered);
}

void StepThroughClip(SInt32 step) {
    const SInt32 p = GetControl32BitValue(gConfigWorkSpace.clipSlider);
    SInt32 newP = p;
    if (step > 0 && p < gConfigWorkSpace.maxFrameIndex) newP = p + 1;
    if (step < 0 && p > 0) newP = p - 1;
    if (newP == p) return;
    SetControl32BitValue(gConfigWorkSpace.clipSlider, newP);
    AccessRenderAndBlit(newP);
    SetClipText(newP);
}

// The dialog's commands, each given the dialog's window.

void PressOK(WindowRef theWindow) {
    lgItemHit = kItemOK;
    QuitAppModalLoopForWindow(theWindow);
}

void PressCancel(WindowRef theWindow) {
    lgItemHit = kItemCancel;
    QuitAppModalLoopForWindow(theWindow);
}

void ShowInfo(WindowRef) {
    ShowAbout();
}

void Advance(WindowRef) {
    StepThroughClip(1);
}

void Reverse(WindowRef) {
    StepThroughClip(-1);
}

void ChangeMedia(WindowRef theWindow) {
    PluginDataPtr theConfig = gConfigWorkSpace.theConfig;
    const SInt16 oldMedia = theConfig->mediaType;
    theConfig->mediaType = SInt16(SimpleGetControlValueByID(lgTheWindow, FourCC("Medi"), 1));
    if (theConfig->mediaType == oldMedia) return;
    lgItemHit = kReopen;
    QuitAppModalLoopForWindow(theWindow);
}

void ResetDialog(WindowRef) {
    PluginDataPtr theConfig = gConfigWorkSpace.theConfig;
    const SInt16 oldMedia = theConfig->mediaType;
    ResetConfig(theConfig, false);
    theConfig->mediaType = oldMedia;
    Config2Dlg(theConfig);
    RenderLineArt(theConfig);
    ReRenderAndBlit();
}

void SelectAll(WindowRef) {
    RelRect theRel;
    InitRelRect(theRel);
    PutCurrentRel(theRel);
    ReRenderAndBlit();
}

void OpenManual(WindowRef) {
    CFBundleRef theBundle = CFBundleGetBundleWithIdentifier(CFSTR(kPluginBundleID));
    if (!theBundle) {
        Notify("Cannot Locate Bundle. Proceed with caution. Crash imminent");
        return;
    }
    CFURLRef theURL = CFBundleCopyResourceURL(theBundle, CFSTR("manual"), CFSTR("pdf"), nullptr);
    if (!theURL) {
        Notify("Cannot locate manual in bundle");
        return;
    }
    UInt8 thePath[PATH_MAX];
    if (CFURLGetFileSystemRepresentation(theURL, true, thePath, sizeof thePath)) {
        const OSStatus status = LSOpenCFURLRef(theURL, nullptr);
        if (status != noErr) Notify(PString("LSOpen failed with ") + Num2Text(status));
    }
    CFRelease(theURL);
}

void TakeKeepProps(WindowRef) {
    gConfigWorkSpace.theConfig->keepProps = SimpleGetControlValueByID(lgTheWindow, FourCC("Keep"), 1) == 1;
    CalcAndKeepImageProps();
    ReRenderAndBlit();
}

void TakeMethod(WindowRef) {
    gConfigWorkSpace.theConfig->method = SInt16(SimpleGetControlValueByID(lgTheWindow, FourCC("Meth"), 1));
    ReRenderAndBlit();
}

// "Col1" ... "Col6": the colour of box i goes into the record.
template <int i>
void TakeColor(WindowRef) {
    gConfigWorkSpace.theConfig->colors[i] =
        LongInt2RGBColor(GetControl32BitValue(gConfigWorkSpace.colors[i]));
    ReRenderAndBlit();
}

struct DialogCommandRec {
    FourCharCode command;
    void (*Handle)(WindowRef theWindow);
    bool handled; // false: the command goes on to the next handler as well
};

// clang-format off
constexpr DialogCommandRec kDialogCommands[] = {
    {FourCC("ok  "), PressOK,       true},
    {FourCC("not!"), PressCancel,   true},
    {FourCC("Info"), ShowInfo,      true},
    {FourCC("Col1"), TakeColor<1>,  true},
    {FourCC("Col2"), TakeColor<2>,  true},
    {FourCC("Col3"), TakeColor<3>,  true},
    {FourCC("Col4"), TakeColor<4>,  true},
    {FourCC("Col5"), TakeColor<5>,  true},
    {FourCC("Col6"), TakeColor<6>,  true},
    {FourCC("Adva"), Advance,       true},
    {FourCC("Revi"), Reverse,       true},
    {FourCC("Rset"), ResetDialog,   false}, // reset here, and left to the next handler too
    {FourCC("Medi"), ChangeMedia,   true},
    {FourCC("Sall"), SelectAll,     true},
    {FourCC("Help"), OpenManual,    true},
    {FourCC("Keep"), TakeKeepProps, true},
    {FourCC("Meth"), TakeMethod,    true},
};
// clang-format on

} // namespace

const char* ConfigWindowName(SInt16 mediaType) {
    switch (mediaType) {
        case kMediaPAL:
            return "configPAL";
        case kMediaHD:
            return "configHD";
        default:
            return "configNTSC";
    }
}

void DoConfig(PluginDataPtr theConfig) {
    Assert(theConfig, "Nil theConfig on DoConfig");
    const PluginDataRec theCopy = *theConfig;
    RetainImages(theCopy);
    // The host's port comes back afterwards, not the disposed window's.
    SavedGWorldRec saved;
    do {
        RunDialogWindow(theConfig);
    } while (lgItemHit != kItemOK && lgItemHit != kItemCancel);
    saved.Restore();
    if (lgItemHit == kItemOK) {
        SaveConfig(theConfig);
        ReleaseImages(theCopy);
    } else {
        ReleaseImages(*theConfig); // the copy's own references pass to the record
        *theConfig = theCopy;
    }
}

void SetupDialog(WindowRef theWindow, PluginDataPtr theConfig) {
    Assert(theWindow, "Nil Window in SetupDialog");
    Assert(theConfig, "Nil theConfig in SetupDialog");
    gConfigWorkSpace.theWindow = theWindow;
    lgTheWindow = theWindow;
    gConfigWorkSpace.theFrameCtrl = SimpleGetControlByID(theWindow, FourCC("Clip"), 1);
    Assert(gConfigWorkSpace.theFrameCtrl, "Cannot acces Clip 1 CTRL");
    SetupColors(theWindow, theConfig);
    SetupSliders(theWindow);
    SimpleHideControl(theWindow, FourCC("Rect"), 1);
    SimpleHideControl(theWindow, FourCC("Rect"), 2);
    SimpleSetControlValueByID(theWindow, FourCC("Medi"), 1, theConfig->mediaType);
    Config2Dlg(gConfigWorkSpace.theConfig);
    CalcAndKeepImageProps();
    RenderLineArt(gConfigWorkSpace.theConfig);
    ReRenderAndBlit();
}

void SetupColors(WindowRef theWindow, PluginDataPtr theConfig) {
    for (SInt16 i = 1; i <= kNumColors; ++i) {
        ControlRef theBox = SimpleGetControlByID(theWindow, FourCC("Colr"), i);
        Assert(theBox,
               i == 2 ? "Cannot allocate color2 in SetupDialog" : "Cannot allocate color1 in SetupDialog");
        SetControl32BitMinimum(theBox, 0);
        SetControl32BitMaximum(theBox, 16777215);
        SetControl32BitValue(theBox, RGBColor2LongInt(theConfig->colors[i]));
        HideControl(theBox);
        SimpleHideControl(theWindow, FourCC("CLgd"), i);
        gConfigWorkSpace.colors[i] = theBox;
    }
}

void Config2Dlg(PluginDataPtr theConfig) {
    for (int i = 1; i <= kNumColors; ++i)
        SetControl32BitValue(gConfigWorkSpace.colors[i], RGBColor2LongInt(theConfig->colors[i]));
    for (SInt16 i = 1; i <= kNumSliders; ++i) {
        SetControl32BitValue(gConfigWorkSpace.sliders[i], theConfig->sliders[i]);
        SimpleSetControlText(lgTheWindow, FourCC("Lgnd"), i, Num2Text(theConfig->sliders[i]) + "%");
    }
    // The check box and the method show what the record holds, never the description's values.
    // A method outside the pop-up's range (from a foreign or hand-edited file) becomes the
    // value the pop-up pins it to, so that the record holds what the pop-up shows.
    if (SimpleGetControlByID(lgTheWindow, FourCC("Keep"), 1))
        SimpleSetControlValueByID(lgTheWindow, FourCC("Keep"), 1, theConfig->keepProps ? 1 : 0);
    if (SimpleGetControlByID(lgTheWindow, FourCC("Meth"), 1)) {
        SimpleSetControlValueByID(lgTheWindow, FourCC("Meth"), 1, theConfig->method);
        theConfig->method = SInt16(SimpleGetControlValueByID(lgTheWindow, FourCC("Meth"), 1));
    }
    ReRenderAndBlit();
}

OSStatus TheDialogHandler(EventHandlerCallRef, EventRef theEvent, void* userData) {
    HICommand theCommand{};
    GetEventParameter(theEvent, kEventParamDirectObject, typeHICommand, nullptr, sizeof theCommand, nullptr,
                      &theCommand);
    lgItemHit = kNoItem;
    for (const DialogCommandRec& entry : kDialogCommands) {
        if (entry.command != theCommand.commandID) continue;
        entry.Handle(static_cast<WindowRef>(userData));
        return entry.handled ? noErr : eventNotHandledErr;
    }
    return eventNotHandledErr;
}

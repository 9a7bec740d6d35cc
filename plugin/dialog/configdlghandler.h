// The configuration dialog: its working state, its life from opening to OK or Cancel, its
// set-up from the record and its command handler.
#pragma once

#include "HYPlugin.h"
#include "model/PluginDefines.h"

#include "toolbox/CarbonEvents.h"
#include "toolbox/Controls.h"
#include "toolbox/MacWindows.h"

struct PluginWorkSpace {
    PluginDataPtr theConfig;                        // the record being edited
    HYPluginParams* iMovieParams;                   // the host block of the call that opened the dialog
    GWorldPtr sourceClip;                           // the clip frame shown, unprocessed
    GWorldPtr theFXClip;                            // the processed preview, same bounds as sourceClip
    SInt32 currFrameIndex;                          // clip slider position, 0-based within the clip
    SInt32 minFrameIndex;                           // frame number of position 0
    SInt32 maxFrameIndex;                           // highest position
    SInt16 activeRel;                               // 1: the start rectangle
    ControlRef theFrameCtrl;                        // "Clip" 1
    OneBasedArray<ControlRef, kNumSliders> sliders; // "Sldr" 1..6
    ControlRef clipSlider;                          // "ClpS" 1
    OneBasedArray<ControlRef, kNumColors> colors;   // "Colr" 1..6
    WindowRef theWindow;                            // the dialog window while it is open
};

extern PluginWorkSpace gConfigWorkSpace;
extern PluginDataPtr gTheConfig;

// The bundle's identifier, a literal so that CFSTR takes it too.
#define kPluginBundleID "com.quorvel.vantrel.umbrawash"

void DoConfig(PluginDataPtr theConfig);
void SetupDialog(WindowRef theWindow, PluginDataPtr theConfig);
void SetupColors(WindowRef theWindow, PluginDataPtr theConfig);
void Config2Dlg(PluginDataPtr theConfig);
OSStatus TheDialogHandler(EventHandlerCallRef nextHandler, EventRef theEvent, void* userData);

// The window description of a video standard: "configNTSC", "configPAL" or "configHD".
const char* ConfigWindowName(SInt16 mediaType);

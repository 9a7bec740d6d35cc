// The configuration dialog's working state.
#pragma once

#include "HYPlugin.h"
#include "model/PluginDefines.h"

struct PluginWorkSpace {
    PluginDataPtr theConfig;      // the record being edited
    HYPluginParams* iMovieParams; // the host block of the call that opened the dialog
    GWorldPtr sourceClip;         // the clip frame shown, unprocessed
    GWorldPtr theFXClip;          // the processed preview, same bounds as sourceClip
    SInt32 currFrameIndex;        // clip slider position, 0-based within the clip
    SInt32 minFrameIndex;         // frame number of position 0
    SInt32 maxFrameIndex;         // highest position
    SInt16 activeRel;             // 1: the start rectangle
};

extern PluginWorkSpace gConfigWorkSpace;
extern PluginDataPtr gTheConfig;

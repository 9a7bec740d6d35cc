/* The host interface: the records, callbacks and codes through which a video editor (the
 * host) drives an effect plug-in. Plain C; usable from C and C++.
 *
 * A host loads the plug-in's bundle, finds the exported C function `main` and calls it with
 * a selector and one parameter block for every request:
 *
 *     int main(short which, HYPluginParams* params);   returns an HYPluginResult
 *
 * `which` is handed to the plug-in unchanged (pass the selector). Calls arrive one at a time
 * on one thread. A render pass is kPlugInitialize, any number of kPlugDoFrame (frames in any
 * order) and kPlugTerminate, all on the same block.
 *
 * What a host does besides filling the records:
 *
 * 1. It links the toolbox (libtoolbox.so), the library the plug-in runs on, and makes every
 *    pixel buffer it hands over with it: each GWorldPtr here is a toolbox offscreen buffer
 *    (NewGWorld at 32 bits per pixel, bytes alpha, red, green, blue; rows rowBytes & 0x3FFF
 *    apart, see toolbox/QuickDraw.h).
 * 2. It loads the plug-in's library from inside its bundle, <name>.bundle/Contents/Linux/
 *    <name>.so (dlopen with RTLD_NOW), looks up `main`, and keeps the library loaded until the
 *    process ends: the plug-in keeps process-wide state, and the toolbox finds the bundle (its
 *    window descriptions in Contents/Resources) through the loaded library.
 * 3. Before its first call it opens every resource file of the bundle, Contents/Resources/
 *    *.rsrc, with FSpOpenResFile(&file, fsRdPerm) and leaves them open: that puts them in the
 *    resource chain, where the plug-in finds its string lists. Without them every label, button
 *    title and group the plug-in describes itself with comes back empty. The FSSpec of a path
 *    comes from toolbox::FSSpecFromPath (toolbox/Files.h, C++); from C, make the folder
 *    current, take its number from HGetVol and call FSMakeFSSpec with the file's name.
 * 4. It fills the whole HYProcs table; the entries the plug-in does not use may be NULL.
 * 5. It gives each render pass (and each other request) a zeroed HYPluginParams with
 *    interfaceVersion 4 or more, the selector, its procs and its instance. clientData belongs
 *    to the plug-in: NULL before kPlugInitialize, left alone until after kPlugTerminate.
 *
 * The plug-in keeps its configuration in the settings file "zorlt-Prefs" in $XDG_CONFIG_HOME
 * (else ~/.config). The first call creates the file, reads the configuration from it (the
 * defaults when it holds none the plug-in reads) and writes it straight back; a host that
 * renders with settings of its own points $XDG_CONFIG_HOME at a folder of its own before that
 * call. Each render pass works on a copy of the configuration taken at its kPlugInitialize.
 *
 * Hosts linked with the plug-in's units rather than loading its bundle (the frei0r filter,
 * the umbrawash command) may also call the functions the units declare for them, each with
 * what it promises beside it: GetPassConfig (host/RenderPass.h), the configuration copy of an
 * open pass, which such a host may change between kPlugInitialize and kPlugDoFrame; and for
 * the saved configuration CreateSettingsFile, ReadConfig and SaveConfig (settings/prefsloader.h)
 * over a record set to the defaults by ResetConfig (model/DataHandling.h). A host that loads
 * the bundle sees only `main`.
 *
 * kPlugCustomButtonClick runs the configuration dialog modally inside the call: in a window
 * when DISPLAY or WAYLAND_DISPLAY names a display, otherwise from a script of input steps
 * (toolbox/InputSources.h), which without steps ends the dialog at once as Cancel. */
#pragma once

#include "toolbox/MacTypes.h"
#include "toolbox/QuickDraw.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Codes (8 bits each) ---- */

typedef UInt8 HYPluginSelector;
enum {
    kPlugGetInfo = 1,         /* describe the plug-in: fill getInfo, getInfo2, getInfo3 */
    kPlugInitialize = 2,      /* open a render pass */
    kPlugDrawIcon = 3,        /* not handled */
    kPlugDrawThumbNail = 4,   /* not handled */
    kPlugFilePlaceHolder = 5, /* render frame getInfo.bestThumbOffset into frame, a pass of its own */
    kPlugDoFrame = 6,         /* render frame renderFrame of the clip into frame at frameRect */
    kPlugCallOnceWithInitAndTerminate = 7, /* not handled */
    kPlugTerminate = 8,                    /* close the render pass */
    kPlugCustomButtonClick = 9             /* the user pressed the plug-in's button */
};

typedef UInt8 HYPluginResult;
enum {
    kPluginOK = 0,
    kPluginCancel = 1,
    kPluginFinished = 2,
    kPluginBadParams = 3,
    kPluginOutOfMemory = 4,
    kPluginOutOfDiskSpace = 5,
    kPluginFailed = 6,
    kPluginCantGetNeededFrame = 7,
    kPluginUnimplemented = 8,
    kPluginTryAgainLater = 9,
    kPluginAppIsTooOld = 10,
    kPluginAppIsTooNew = 11
};

typedef UInt8 HYPluginType;
enum {
    kPluginUnknownType = 0,
    kPluginTitleType = 101,
    kPluginTransitionBeforeType = 102,
    kPluginTransitionBetweenType = 103,
    kPluginTransitionAfterType = 104,
    kPluginFilterType = 105
};

typedef UInt8 HYRefDVQuality;
enum { kDVLowQuality = 0, kDVHighQuality = 1, kDVHighQualitySingleField = 2 };

typedef UInt32 HYPluginChoiceFlags;

/* ---- Description records, filled by the plug-in at kPlugGetInfo ---- */

typedef struct HYPluginGetInfo {
    HYPluginType pluginType;
    UInt8 titleType;
    HYPluginChoiceFlags pluginFlags;
    SInt32 framesToBeRendered;
    SInt32 takeFromClipBefore;
    SInt32 takeFromClipAfter;
    SInt32 minSpeedFrames;
    SInt32 maxSpeedFrames;
    Boolean mustTakeFromSingleClips;
    SInt32 bestThumbOffset; /* the frame a placeholder shows (kPlugFilePlaceHolder) */
    RGBColor defaultColor;
    UInt8 defaultDirection;
    UInt8 justify;
    SInt16 defaultFontNum;
    SInt16 defaultFontSize;
} HYPluginGetInfo;

/* Strings in host records are zero-terminated, Mac Roman, terminator included in the capacity. */
typedef struct HYPluginFilterSliderInfo {
    char label[128];
    char minLabel[128];
    char maxLabel[128];
    Float32 defaultValue; /* 0.0 .. 1.0 */
} HYPluginFilterSliderInfo;

typedef struct HY2PluginGetInfo {
    char group[128];
    HYPluginFilterSliderInfo filterSliders[3];
    SInt32 defaultFadeInFrames;
    SInt32 defaultFadeOutFrames;
    SInt32 minHangFrames;
    SInt32 maxHangFrames;
    Float32 defaultFontSizeScale;
    SInt32 selectedFrames; /* set by the host: the frames the user selected */
    SInt32 speedFrames;
    SInt32 hangFrames;
    SInt32 baseMemoryNeeded;
} HY2PluginGetInfo;

/* File-open request of a plug-in that asks the host for a file. Its inner layout is this
 * interface's own choice; no filter uses it, and hosts leave it zero. */
typedef struct HYPluginFileOpenInfo {
    SInt32 numTypes;
    OSType fileTypes[4];
    char prompt[128];
} HYPluginFileOpenInfo;

typedef struct HY3PluginGetInfo {
    Float32 defaultX;
    Float32 defaultY;
    Float32 userX;
    Float32 userY;
    HYPluginFileOpenInfo fileInfo;
    char buttonTitle[32];
} HY3PluginGetInfo;

typedef struct HY4PluginGetInfo {
    HYPluginFilterSliderInfo titleSliders;
} HY4PluginGetInfo;

/* Per-clip filter settings handed out by GetFilterInfo. */
typedef struct HYPluginFilterInfo {
    Float32 sliderValues[3];
    SInt32 fadeInFrames;  /* frames over which the effect comes in at the clip's start */
    SInt32 fadeOutFrames; /* frames over which it goes out at the clip's end */
} HYPluginFilterInfo;

/* ---- Callbacks ---- */

typedef Ptr (*HYNewPtrProc)(SInt32 byteCount);
typedef void (*HYDisposePtrProc)(Ptr block);
typedef char* (*HYPtoCstrProc)(unsigned char* pString);
typedef unsigned char* (*HYCtoPstrProc)(char* cString);
typedef void (*HYPstrcpyProc)(unsigned char* dst, const unsigned char* src);
typedef char* (*HYStrcpyProc)(char* dst, const char* src);
typedef SInt32 (*HYStrlenProc)(const char* s);
typedef HYPluginResult (*HYGetLocalizedStringProc)(void* instance, SInt16 index, char* outText,
                                                   SInt32 capacity);
typedef HYPluginResult (*HYGetFrameProc)(void* instance, SInt32 frameIndex, GWorldPtr* outFrame, SInt16 width,
                                         SInt16 height, HYRefDVQuality quality, SInt16* outVolume,
                                         void** outCookie);
typedef HYPluginResult (*HYReleaseFrameProc)(void* instance, void* cookie);
typedef HYPluginResult (*HYGetAudioFrameProc)(void* instance, SInt32 frameIndex, void** outSamples,
                                              SInt32* outSampleCount, void** outCookie);
typedef HYPluginResult (*HYReleaseAudioFrameProc)(void* instance, void* cookie);
typedef HYPluginResult (*HYGetInfoRecordProc)(void* instance, void* outInfo);
typedef HYPluginResult (*HYBlitProc)(PixMapHandle src, PixMapHandle dst, const Rect* srcRect,
                                     const Rect* dstRect, SInt16 opacity);
typedef HYPluginResult (*HYFillRectProc)(PixMapHandle dst, const Rect* r, const RGBColor* color);
typedef HYPluginResult (*HYTextBoundsProc)(void* instance, const char* text, Rect* outBounds);
typedef HYPluginResult (*HYDrawTextProc)(void* instance, PixMapHandle dst, const char* text, const Rect* box);
typedef HYPluginResult (*HYGetRecordProc)(void* instance, void** outRecord);
typedef HYPluginResult (*HYReleaseRecordProc)(void* instance, void* record);
typedef HYPluginResult (*HYMixAudioProc)(void* instance, void* cookie, SInt32 level);
typedef HYPluginResult (*HYGetFilterInfoProc)(void* instance, HYPluginFilterInfo** outInfo);
typedef HYPluginResult (*HYReleaseFilterInfoProc)(void* instance, HYPluginFilterInfo* info);
typedef SInt32 (*HYStringWidthProc)(void* instance, const char* text);
typedef HYPluginResult (*HYCGDrawTextProc)(void* instance, void* context, const char* text, Float32 x,
                                           Float32 y);
typedef Float32 (*HYCGStringWidthProc)(void* instance, void* context, const char* text);

/* The host's callback table: 30 entries in this order. The plug-in calls only those marked
 * "used"; the others are part of the interface for other kinds of plug-in.
 *
 * Memory: NewPtrClear may hand out any zero-filled block of at least byteCount bytes from any
 * allocator (the toolbox's NewPtrClear, calloc, a guarding allocator); the plug-in reads and
 * writes only those bytes and gives the block back only through DisposePtr. Its blocks: the
 * master configuration record (kept while the plug-in is loaded) and, for each render pass,
 * the pass record and its configuration copy. */
typedef struct HYProcs {
    HYNewPtrProc NewPtr;                         /* a block, or NULL when out of memory */
    HYNewPtrProc NewPtrClear;                    /* used: a zero-filled block, or NULL when out of memory */
    HYDisposePtrProc DisposePtr;                 /* used: frees a block from NewPtr or NewPtrClear */
    HYPtoCstrProc ptocstr;                       /* short string to C string, in place */
    HYCtoPstrProc ctopstr;                       /* C string to short string, in place */
    HYPstrcpyProc pstrcpy;                       /* copies a short string */
    HYStrcpyProc strcpy;                         /* copies a C string */
    HYStrlenProc strlen;                         /* length of a C string */
    HYGetLocalizedStringProc GetLocalizedString; /* a text of the host's own, by index */
    /* used: the movie frame at an absolute index as a 32-bit buffer of the requested size, and
     * a cookie to give back to ReleaseFrame. The buffer belongs to the host and stays valid
     * until ReleaseFrame; the plug-in reads it (locking and unlocking its pixels) and never
     * writes into it or disposes of it. */
    HYGetFrameProc GetFrame;
    HYReleaseFrameProc ReleaseFrame;           /* used: ends the use of a frame; may get a NULL cookie */
    HYGetAudioFrameProc GetAudioFrame;         /* the audio samples of a frame */
    HYReleaseAudioFrameProc ReleaseAudioFrame; /* ends the use of them */
    HYGetInfoRecordProc GetMovieInfo;          /* the movie's size and rate (host-defined record) */
    HYGetInfoRecordProc GetClipInfo;           /* the clip's settings (host-defined record) */
    HYGetInfoRecordProc SetClipInfo;           /* changes them */
    /* used: draws srcRect of src over dstRect of dst with an opacity of 0..255: 255 covers the
     * destination fully, 0 leaves it unchanged. Both pixel maps are locked by the caller.
     * Called for frames inside a fade, after the processed frame is in place: src is the
     * pixel map of the plug-in's fade copy (the unprocessed frame, bounds at (0, 0), the size
     * of frameRect), srcRect the bounds of the frame GetFrame delivered (the same size); dst
     * is the pixel map of params.frame and dstRect is params.frameRect. */
    HYBlitProc Blit;
    HYFillRectProc FillRect;      /* fills a rectangle with a colour */
    HYTextBoundsProc TextBounds;  /* bounds of a title text */
    HYDrawTextProc DrawText;      /* draws a title text */
    HYGetRecordProc GetTitleInfo; /* the title settings of a title plug-in */
    HYReleaseRecordProc ReleaseTitleInfo;
    HYGetRecordProc GetTransitionInfo; /* the settings of a transition plug-in */
    HYReleaseRecordProc ReleaseTransitionInfo;
    HYMixAudioProc MixAudio;           /* used: mixes the audio of the fetched frame (cookie) at level 256 */
    HYGetFilterInfoProc GetFilterInfo; /* used: the clip's slider values and fade lengths */
    HYReleaseFilterInfoProc ReleaseFilterInfo; /* used: ends the use of them */
    HYStringWidthProc StringWidth;             /* width of a text in the title font */
    HYCGDrawTextProc CGDrawText;               /* draws a text into a Quartz context */
    HYCGStringWidthProc CGStringWidth;         /* its width there */
} HYProcs;

/* ---- The parameter block: one per render pass or request ---- */

typedef struct HYPluginParams {
    SInt16 interfaceVersion; /* the plug-in accepts 4 and above */
    void* instance; /* handed back unchanged to GetFrame, ReleaseFrame, MixAudio, Get/ReleaseFilterInfo */
    HYPluginSelector selector;
    HYProcs* procs;
    HYPluginGetInfo getInfo;
    SInt32 startFrame;  /* absolute index of the clip's first frame in the movie */
    SInt32 renderFrame; /* index within the clip of the frame to render (0 = first) */
    SInt32 frameCount;  /* frames in the clip */
    Boolean proxyOnly;  /* proxy render: small frames at low quality, no audio */
    Rect frameRect;     /* area of frame that receives the picture (drawing is clipped to frame) */
    GWorldPtr frame;    /* the host's output buffer, a toolbox buffer of 32 bits per pixel;
                         * kPlugDoFrame and kPlugFilePlaceHolder refuse a block without one
                         * (kPluginBadParams) before calling the host */
    void* clientData;   /* the plug-in's own: its render pass record */
    HY2PluginGetInfo getInfo2;
    HY3PluginGetInfo getInfo3;
    HY4PluginGetInfo getInfo4;
} HYPluginParams;

/* The exported entry point's type. */
typedef int (*HYPluginMainProc)(short which, HYPluginParams* params);

#ifdef __cplusplus
}
#endif

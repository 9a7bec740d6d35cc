/* A host written in C from the host interface header alone: it loads the bundle and opens
 * its resources as the header says, hands out calloc'd memory and frames of its own, and
 * runs the description, a render pass and the configuration button
 * (headless, so it ends as Cancel). Every frame is checked against the effect's defaults
 * (the whole frame inverted), so the settings folder must start empty.
 *
 *     header_host BUNDLE_DIR      exit status 0 when everything matched */
#include "HYPlugin.h"
#include "toolbox/Files.h"
#include "toolbox/Resources.h"

#include <dirent.h>
#include <dlfcn.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

enum { kWidth = 8, kHeight = 4 };

static int lgFailures = 0;

static void Check(int condition, const char* what) {
    if (condition) return;
    ++lgFailures;
    fprintf(stderr, "header_host: %s\n", what);
}

static Ptr HostNewPtrClear(SInt32 byteCount) {
    return calloc(1, byteCount > 0 ? (size_t)byteCount : 1);
}

static void HostDisposePtr(Ptr block) {
    free(block);
}

static UInt8* PixelAt(PixMapHandle pm, int x, int y) {
    return (UInt8*)GetPixBaseAddr(pm) + (long)y * (GetPixRowBytes(pm) & 0x3FFF) + 4 * x;
}

/* Frame i: alpha 255, red 10 i + x, green 100, blue 7. The frame is the cookie. */
static HYPluginResult HostGetFrame(void* instance, SInt32 index, GWorldPtr* outFrame, SInt16 width,
                                   SInt16 height, HYRefDVQuality quality, SInt16* outVolume,
                                   void** outCookie) {
    Rect bounds = {0, 0, height, width};
    GWorldPtr frame = NULL;
    (void)instance, (void)quality;
    if (NewGWorld(&frame, 32, &bounds, NULL, NULL, 0) != noErr) return kPluginFailed;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            UInt8* p = PixelAt(GetGWorldPixMap(frame), x, y);
            p[0] = 255, p[1] = (UInt8)(10 * index + x), p[2] = 100, p[3] = 7;
        }
    *outFrame = frame;
    *outCookie = frame;
    if (outVolume) *outVolume = 0;
    return kPluginOK;
}

static HYPluginResult HostReleaseFrame(void* instance, void* cookie) {
    (void)instance;
    if (cookie) DisposeGWorld((GWorldPtr)cookie);
    return kPluginOK;
}

static HYPluginResult HostMixAudio(void* instance, void* cookie, SInt32 level) {
    (void)instance, (void)cookie, (void)level;
    return kPluginOK;
}

static HYPluginFilterInfo lgFilterInfo = {{0.5f, 0.5f, 0.5f}, 0, 0};

static HYPluginResult HostGetFilterInfo(void* instance, HYPluginFilterInfo** outInfo) {
    (void)instance;
    *outInfo = &lgFilterInfo;
    return kPluginOK;
}

static HYPluginResult HostReleaseFilterInfo(void* instance, HYPluginFilterInfo* info) {
    (void)instance, (void)info;
    return kPluginOK;
}

/* Opens every *.rsrc of the bundle's Contents/Resources into the resource chain. */
static int OpenBundleResources(const char* bundle) {
    char resources[PATH_MAX], here[PATH_MAX];
    snprintf(resources, sizeof resources, "%s/Contents/Resources", bundle);
    DIR* dir = opendir(resources);
    if (!dir || !getcwd(here, sizeof here) || chdir(resources) != 0) return 0;
    FSVolumeRefNum vRefNum = 0;
    SInt32 dirID = 0;
    int opened = 0;
    HGetVol(NULL, &vRefNum, &dirID);
    for (struct dirent* entry; (entry = readdir(dir)) != NULL;) {
        size_t n = strlen(entry->d_name);
        if (n < 6 || n > 63 || strcmp(entry->d_name + n - 5, ".rsrc") != 0) continue;
        Str255 name;
        name[0] = (UInt8)n;
        memcpy(name + 1, entry->d_name, n);
        FSSpec file;
        opened += FSMakeFSSpec(vRefNum, dirID, name, &file) == noErr && FSpOpenResFile(&file, fsRdPerm) != -1;
    }
    closedir(dir);
    return chdir(here) == 0 && opened > 0;
}

static int Call(HYPluginMainProc entry, HYPluginParams* params, HYPluginSelector selector) {
    params->selector = selector;
    return entry(selector, params);
}

/* A zeroed parameter block of interface version 4 with the host's callbacks. */
static HYPluginParams NewParams(HYProcs* procs) {
    HYPluginParams params;
    memset(&params, 0, sizeof params);
    params.interfaceVersion = 4;
    params.procs = procs;
    return params;
}

/* Describes, renders a pass of three frames and presses the button. */
static void Drive(HYPluginMainProc entry, HYProcs* procs, GWorldPtr output) {
    HYPluginParams params = NewParams(procs);
    Check(Call(entry, &params, kPlugGetInfo) == kPluginOK, "kPlugGetInfo fails");
    Check(params.getInfo.pluginType == kPluginFilterType, "not a filter");
    Check(params.getInfo3.buttonTitle[0] != 0 && params.getInfo2.filterSliders[0].label[0] != 0,
          "the button title or a slider label is empty");

    params = NewParams(procs);
    params.frame = output;
    params.frameRect = (Rect){0, 0, kHeight, kWidth};
    params.frameCount = 3;
    Check(Call(entry, &params, kPlugInitialize) == kPluginOK, "kPlugInitialize fails");
    for (int f = 0; f < 3; ++f) {
        params.renderFrame = f;
        Check(Call(entry, &params, kPlugDoFrame) == kPluginOK, "kPlugDoFrame fails");
        Check(PixelAt(GetGWorldPixMap(output), 3, 1)[1] == 255 - (10 * f + 3), "a rendered frame differs");
    }
    Check(Call(entry, &params, kPlugTerminate) == kPluginOK && params.clientData == NULL, "kPlugTerminate");
    Check(Call(entry, &params, kPlugCustomButtonClick) == kPluginOK, "kPlugCustomButtonClick fails");
}

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    char library[PATH_MAX];
    snprintf(library, sizeof library, "%s/Contents/Linux/Umbrawash.so", argv[1]);
    void* handle = dlopen(library, RTLD_NOW);
    HYPluginMainProc entry = handle ? (HYPluginMainProc)dlsym(handle, "main") : NULL;
    if (!entry || !OpenBundleResources(argv[1])) {
        fprintf(stderr, "header_host: cannot load %s or its resources\n", argv[1]);
        return 1;
    }
    HYProcs procs = {.NewPtrClear = HostNewPtrClear,
                     .DisposePtr = HostDisposePtr,
                     .GetFrame = HostGetFrame,
                     .ReleaseFrame = HostReleaseFrame,
                     .MixAudio = HostMixAudio,
                     .GetFilterInfo = HostGetFilterInfo,
                     .ReleaseFilterInfo = HostReleaseFilterInfo};
    Rect bounds = {0, 0, kHeight, kWidth};
    GWorldPtr output = NULL;
    if (NewGWorld(&output, 32, &bounds, NULL, NULL, 0) != noErr) return 1;

    Drive(entry, &procs, output);
    DisposeGWorld(output);
    return lgFailures == 0 ? 0 : 1;
}

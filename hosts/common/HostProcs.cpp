#include "common/HostProcs.h"

#include "common/Blit.h"

#include "toolbox/MacMemory.h"

#include <cstring>

namespace {

hosts::BlockLedger* lgLedger = nullptr;

Ptr Recorded(Ptr block, SInt32 byteCount) {
    if (block && lgLedger) {
        lgLedger->live[block] = byteCount;
        ++lgLedger->handedOut;
    }
    return block;
}
Ptr HostNewPtr(SInt32 byteCount) {
    return Recorded(NewPtr(byteCount), byteCount);
}
Ptr HostNewPtrClear(SInt32 byteCount) {
    return Recorded(NewPtrClear(byteCount), byteCount);
}
void HostDisposePtr(Ptr block) {
    if (block && lgLedger) {
        if (!lgLedger->live.erase(block)) {
            ++lgLedger->strayDisposals;
            return;
        }
    }
    DisposePtr(block);
}

char* HostPtoCstr(unsigned char* s) {
    unsigned n = s[0];
    std::memmove(s, s + 1, n);
    s[n] = 0;
    return reinterpret_cast<char*>(s);
}

unsigned char* HostCtoPstr(char* s) {
    size_t n = std::strlen(s);
    if (n > 255) n = 255;
    std::memmove(s + 1, s, n);
    s[0] = char(n);
    return reinterpret_cast<unsigned char*>(s);
}

void HostPstrcpy(unsigned char* dst, const unsigned char* src) {
    std::memmove(dst, src, size_t(src[0]) + 1);
}
char* HostStrcpy(char* dst, const char* src) {
    return std::strcpy(dst, src);
}
SInt32 HostStrlen(const char* s) {
    return SInt32(std::strlen(s));
}

HYPluginResult NoLocalizedString(void*, SInt16, char*, SInt32) {
    return kPluginUnimplemented;
}
HYPluginResult NoFrame(void*, SInt32, GWorldPtr*, SInt16, SInt16, HYRefDVQuality, SInt16*, void**) {
    return kPluginUnimplemented;
}
HYPluginResult NoRelease(void*, void*) {
    return kPluginUnimplemented;
}
HYPluginResult NoAudioFrame(void*, SInt32, void**, SInt32*, void**) {
    return kPluginUnimplemented;
}
HYPluginResult NoInfoRecord(void*, void*) {
    return kPluginUnimplemented;
}
HYPluginResult NoFillRect(PixMapHandle, const Rect*, const RGBColor*) {
    return kPluginUnimplemented;
}
HYPluginResult NoTextBounds(void*, const char*, Rect*) {
    return kPluginUnimplemented;
}
HYPluginResult NoDrawText(void*, PixMapHandle, const char*, const Rect*) {
    return kPluginUnimplemented;
}
HYPluginResult NoRecord(void*, void**) {
    return kPluginUnimplemented;
}
HYPluginResult NoMixAudio(void*, void*, SInt32) {
    return kPluginUnimplemented;
}
HYPluginResult NoFilterInfo(void*, HYPluginFilterInfo**) {
    return kPluginUnimplemented;
}
HYPluginResult NoReleaseFilterInfo(void*, HYPluginFilterInfo*) {
    return kPluginUnimplemented;
}
SInt32 NoStringWidth(void*, const char*) {
    return 0;
}
HYPluginResult NoCGDrawText(void*, void*, const char*, Float32, Float32) {
    return kPluginUnimplemented;
}
Float32 NoCGStringWidth(void*, void*, const char*) {
    return 0.0f;
}

} // namespace

namespace hosts {

HYProcs MakeDefaultProcs() {
    HYProcs p{};
    p.NewPtr = HostNewPtr;
    p.NewPtrClear = HostNewPtrClear;
    p.DisposePtr = HostDisposePtr;
    p.ptocstr = HostPtoCstr;
    p.ctopstr = HostCtoPstr;
    p.pstrcpy = HostPstrcpy;
    p.strcpy = HostStrcpy;
    p.strlen = HostStrlen;
    p.GetLocalizedString = NoLocalizedString;
    p.GetFrame = NoFrame;
    p.ReleaseFrame = NoRelease;
    p.GetAudioFrame = NoAudioFrame;
    p.ReleaseAudioFrame = NoRelease;
    p.GetMovieInfo = NoInfoRecord;
    p.GetClipInfo = NoInfoRecord;
    p.SetClipInfo = NoInfoRecord;
    p.Blit = BlitPixMaps;
    p.FillRect = NoFillRect;
    p.TextBounds = NoTextBounds;
    p.DrawText = NoDrawText;
    p.GetTitleInfo = NoRecord;
    p.ReleaseTitleInfo = NoRelease;
    p.GetTransitionInfo = NoRecord;
    p.ReleaseTransitionInfo = NoRelease;
    p.MixAudio = NoMixAudio;
    p.GetFilterInfo = NoFilterInfo;
    p.ReleaseFilterInfo = NoReleaseFilterInfo;
    p.StringWidth = NoStringWidth;
    p.CGDrawText = NoCGDrawText;
    p.CGStringWidth = NoCGStringWidth;
    return p;
}

std::string DescribeResult(int result) {
    static const char* const names[] = {"kPluginOK",
                                        "kPluginCancel",
                                        "kPluginFinished",
                                        "kPluginBadParams",
                                        "kPluginOutOfMemory",
                                        "kPluginOutOfDiskSpace",
                                        "kPluginFailed",
                                        "kPluginCantGetNeededFrame",
                                        "kPluginUnimplemented",
                                        "kPluginTryAgainLater",
                                        "kPluginAppIsTooOld",
                                        "kPluginAppIsTooNew"};
    std::string name = result >= 0 && result <= 11 ? names[result] : "unknown result";
    return name + " (" + std::to_string(result) + ")";
}

void TrackBlocks(BlockLedger* ledger) {
    lgLedger = ledger;
}

HYPluginParams MakeParams(HYProcs* procs, void* instance, HYPluginSelector selector) {
    HYPluginParams params{};
    params.interfaceVersion = kHostInterfaceVersion;
    params.instance = instance;
    params.selector = selector;
    params.procs = procs;
    return params;
}

} // namespace hosts

#include "model/DataHandling.h"

#include "dialog/configdlghandler.h"
#include "model/relRects.h"
#include "settings/prefsloader.h"
#include "util/failures.h"

#include "toolbox/MacMemory.h"

#include <cstring>

namespace {

constexpr RGBColor kBlack = {0, 0, 0};
constexpr RGBColor kWhite = {0xFFFF, 0xFFFF, 0xFFFF};
constexpr RGBColor kRed = {0xFFFF, 0, 0};

} // namespace

void pGetConfigSize(UInt32& theSize) {
    theSize = sizeof(PluginDataRec);
}

void InitPluginData(PluginDataPtr theConfig) {
    Assert(theConfig, "Nil theConfig on InitPluginData");
    ResetConfig(theConfig, true);
    ReadConfig(theConfig);
    SaveConfig(theConfig);
}

void ResetConfig(PluginDataPtr theConfig, Boolean fullInit) {
    InitRelRect(theConfig->startRel);
    InitRelRect(theConfig->endRel);
    theConfig->colors[1] = kBlack;
    theConfig->colors[2] = kWhite;
    for (int i = 3; i <= kNumColors; ++i)
        theConfig->colors[i] = kBlack;
    for (int i = 1; i <= 3; ++i)
        theConfig->sliders[i] = 100;
    for (int i = 4; i <= kNumSliders; ++i)
        theConfig->sliders[i] = 0;
    theConfig->frameStartColor = kRed;
    theConfig->mediaType = kMediaNTSC;
    theConfig->keepProps = false;
    theConfig->method = 1;
    if (fullInit) {
        theConfig->theOriginalImage = nullptr;
        theConfig->theRendered = nullptr;
    }
}

void pNewConfig(PluginDataPtr& theData) {
    UInt32 size = 0;
    pGetConfigSize(size);
    theData = reinterpret_cast<PluginDataPtr>(NewPtrClear(Size(size)));
    Assert(theData, "Unable to allocate new data structure in pNewConfig");
}

namespace {

// Only blocks from the platform's allocator know their size; a host's NewPtrClear may hand
// out blocks that do not (GetPtrSize then fails and reads nothing). A block whose size is
// known must hold exactly one record; two blocks of unknown size cannot be checked.
bool BlocksHoldOneRecord(PluginDataPtr source, PluginDataPtr dest) {
    for (PluginDataPtr block : {source, dest}) {
        Size size = GetPtrSize(reinterpret_cast<Ptr>(block));
        if (MemError() == noErr && size != Size(sizeof(PluginDataRec))) return false;
    }
    return true;
}

} // namespace

void pCopyConfig(PluginDataPtr source, PluginDataPtr dest) {
    if (!source || !dest) return;
    if (!BlocksHoldOneRecord(source, dest))
        Terminate("Non-Matching Blocks", "The Size of Source and Dest do not match");
    std::memcpy(static_cast<void*>(dest), source, sizeof(PluginDataRec));
    if (source->theRendered) dest->theRendered = CGImageCreateCopy(source->theRendered);
    dest->theOriginalImage = nullptr;
}

void pUncopyConfig(PluginDataPtr theData) {
    Assert(theData, "Nil data in pUncopyConfig");
    if (theData->theRendered) CGImageRelease(theData->theRendered);
}

void pDestroyConfig(PluginDataPtr aConfig) {
    if (aConfig) DisposePtr(reinterpret_cast<Ptr>(aConfig));
}

RelRect GetCurrentRel() {
    return gConfigWorkSpace.theConfig->startRel;
}

void PutCurrentRel(const RelRect& theRel) {
    gConfigWorkSpace.theConfig->startRel = theRel;
}

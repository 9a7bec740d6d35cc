// kPlugGetInfo: what kind of plug-in this is, what it needs, and the texts the host shows
// for it, taken from the string lists in the bundle's resources.
#include "host/EffectInfo.h"

#include "toolbox/MacMemory.h"
#include "toolbox/TextUtils.h"

namespace {

constexpr HYPluginChoiceFlags kInfoFlags = 0x380;   // bits 7, 8 and 9
constexpr HYPluginChoiceFlags kSliderFlag = 0x1000; // bit 12, once the sliders are described
constexpr SInt32 kBaseMemoryNeeded = 50000;
constexpr Float32 kSliderDefault = 0.5f;

constexpr SInt16 kSliderLabelsList = 128; // texts 1..3: the three host sliders
constexpr SInt16 kSliderEndsList = 129;   // texts 1..6: each slider's minimum and maximum label
constexpr SInt16 kButtonTitleList = 130;  // text 1: the custom button
constexpr SInt16 kGroupList = 17000;      // text 1: the group the host lists the effect under

// Stores text `index` of a string list as a zero-terminated string in a host field of
// `capacity` bytes, cut to fit so the terminating zero always has its place.
void CopyListText(char* field, Size capacity, SInt16 listID, SInt16 index) {
    Str255 text;
    GetIndString(text, listID, index);
    Size length = text[0] < capacity - 1 ? Size(text[0]) : capacity - 1;
    BlockMoveData(text + 1, field, length);
    field[length] = '\0';
}

} // namespace

void SetFilterParamInfo(short, HYPluginParams* params) {
    params->getInfo.takeFromClipBefore = 0;
    params->getInfo.takeFromClipAfter = params->getInfo2.selectedFrames;
    params->getInfo.framesToBeRendered = params->getInfo2.selectedFrames;
    for (int i = 0; i < 3; ++i) {
        HYPluginFilterSliderInfo& slider = params->getInfo2.filterSliders[i];
        slider.defaultValue = kSliderDefault;
        CopyListText(slider.label, sizeof slider.label, kSliderLabelsList, SInt16(i + 1));
        CopyListText(slider.minLabel, sizeof slider.minLabel, kSliderEndsList, SInt16(2 * i + 1));
        CopyListText(slider.maxLabel, sizeof slider.maxLabel, kSliderEndsList, SInt16(2 * i + 2));
    }
    params->getInfo.pluginFlags |= kSliderFlag;
    CopyListText(params->getInfo3.buttonTitle, sizeof params->getInfo3.buttonTitle, kButtonTitleList, 1);
    CopyListText(params->getInfo2.group, sizeof params->getInfo2.group, kGroupList, 1);
}

HYPluginResult EffectGetInfo(short which, HYPluginParams* params) {
    HYPluginGetInfo& info = params->getInfo;
    info.pluginType = kPluginFilterType;
    info.framesToBeRendered = 0;
    info.takeFromClipBefore = 0;
    info.takeFromClipAfter = 0;
    info.minSpeedFrames = 0;
    info.maxSpeedFrames = 0;
    info.mustTakeFromSingleClips = false;
    info.pluginFlags |= kInfoFlags;
    params->getInfo2.baseMemoryNeeded = kBaseMemoryNeeded;
    SetFilterParamInfo(which, params);
    return kPluginOK;
}

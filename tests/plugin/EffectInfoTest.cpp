// kPlugGetInfo with the bundle's string lists in the resource chain.
#include "host/EffectInfo.h"
#include "ScriptedHost.h"
#include "TestPaths.h"

#include "toolbox/Resources.h"
#include "toolbox/TextUtils.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <vector>

namespace {

class EffectInfo : public testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(host.OpenBundleResources(testpaths::Bundle())); }
    testhost::ScriptedHost host;
};

// Opens a file on top of the chain whose lists 128, 129, 130 and 17000 hold the given texts.
SInt16 OpenLists(const std::string& name, const std::string& label, const std::string& button) {
    std::string path = (std::filesystem::temp_directory_path() / name).string();
    std::filesystem::remove(path);
    FSSpec spec;
    toolbox::FSSpecFromPath(path, &spec);
    FSpCreateResFile(&spec, 0, 0, smSystemScript);
    SInt16 ref = FSpOpenResFile(&spec, fsRdWrPerm);
    auto add = [](SInt16 id, const std::string& text, int count) {
        std::string data = {char(0), char(count)};
        for (int i = 0; i < count; ++i)
            data += char(text.size()) + text;
        Handle h = NewHandle(Size(data.size()));
        std::memcpy(*h, data.data(), data.size());
        AddResource(h, FourCC("STR#"), id, nullptr);
    };
    add(128, label, 3);
    add(129, label, 6);
    add(130, button, 1);
    add(17000, label, 1);
    UpdateResFile(ref);
    std::filesystem::remove(path); // the open file keeps what it read
    return ref;
}

} // namespace

TEST_F(EffectInfo, DescribesAFilterWithThreeSlidersFromTheBundlesLists) {
    HYPluginParams p = host.MakeParams(kPlugGetInfo);
    p.getInfo2.selectedFrames = 30;
    p.getInfo.pluginFlags = 0x1;
    p.getInfo2.baseMemoryNeeded = 123;
    p.getInfo.takeFromClipBefore = 9;
    p.getInfo.maxSpeedFrames = 9;
    p.getInfo.mustTakeFromSingleClips = true;
    p.getInfo.bestThumbOffset = 77;
    p.getInfo2.defaultFontSizeScale = 2.5f;
    ASSERT_EQ(EffectGetInfo(0, &p), kPluginOK);

    // Type, flags, frames, clip takes, speed, single clips and memory; then what the plug-in
    // does not describe, which keeps the host's values.
    const auto& i = p.getInfo;
    EXPECT_EQ((std::vector<double>{double(i.pluginType), double(i.pluginFlags), double(i.framesToBeRendered),
                                   double(i.takeFromClipAfter), double(i.takeFromClipBefore),
                                   double(i.maxSpeedFrames), double(i.mustTakeFromSingleClips),
                                   double(p.getInfo2.baseMemoryNeeded), double(i.bestThumbOffset),
                                   double(p.getInfo2.defaultFontSizeScale)}),
              (std::vector<double>{kPluginFilterType, 0x1381, 30, 30, 0, 0, 0, 50000, 77, 2.5}));
    for (int i = 0; i < 3; ++i) {
        const auto& s = p.getInfo2.filterSliders[i];
        EXPECT_EQ(s.defaultValue, 0.5f);
        Str255 text;
        GetIndString(text, 128, SInt16(i + 1));
        EXPECT_EQ(std::string(s.label), toolbox::PascalView(text));
        EXPECT_NE(std::string(s.label).find("Unused"), std::string::npos)
            << "the host sliders change nothing";
        EXPECT_STREQ(s.minLabel, "Left");
        EXPECT_STREQ(s.maxLabel, "Right");
    }
    EXPECT_STREQ(p.getInfo2.group, "Quorvel Effects");
    EXPECT_EQ(std::string(p.getInfo3.buttonTitle), toolbox::Utf8ToMacRoman("Configure Umbrawash…"));
}

TEST_F(EffectInfo, TextsAreZeroTerminatedAndCutToTheirFields) {
    SInt16 ref = OpenLists("umbrawash-info-short", "abcde", "xy");
    HYPluginParams p = host.MakeParams(kPlugGetInfo);
    std::memset(p.getInfo2.filterSliders[0].label, 'x', 128);
    EffectGetInfo(0, &p);
    EXPECT_EQ(std::memcmp(p.getInfo2.filterSliders[0].label, "abcde\0", 6), 0);
    EXPECT_STREQ(p.getInfo3.buttonTitle, "xy");
    CloseResFile(ref);

    ref = OpenLists("umbrawash-info-long", std::string(200, 'L'), std::string(255, 'B'));
    EffectGetInfo(0, &p);
    EXPECT_EQ(std::string(p.getInfo2.filterSliders[2].maxLabel), std::string(127, 'L'));
    EXPECT_EQ(std::string(p.getInfo2.group), std::string(127, 'L'));
    EXPECT_EQ(std::string(p.getInfo3.buttonTitle), std::string(31, 'B'));
    CloseResFile(ref);
}

TEST_F(EffectInfo, MissingListsGiveEmptyTexts) {
    UseResFile(0); // no file current: nothing is found
    HYPluginParams p = host.MakeParams(kPlugGetInfo);
    std::memset(p.getInfo3.buttonTitle, 'x', 32);
    EXPECT_EQ(EffectGetInfo(0, &p), kPluginOK);
    EXPECT_EQ(p.getInfo3.buttonTitle[0], 0);
    UseResFile(host.BundleResourceFiles().back());
}

// The saved configuration: its byte image in both byte orders, and the settings file as the
// plug-in reads and writes it in a real preferences folder.
#include "host/EffectLayer.h"
#include "model/DataHandling.h"
#include "ResourceFileBytes.h"
#include "ScriptedHost.h"
#include "settings/configSave.h"
#include "settings/prefsloader.h"
#include "TestPaths.h"

#include "toolbox/Resources.h"
#include "toolbox/TextUtils.h"

#include <gtest/gtest.h>

#include <bit>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <sys/resource.h>

namespace fs = std::filesystem;
using testsupport::CountOfType;
using testsupport::ReadFileBytes;

namespace {

fs::path PrefsDir() {
    return std::getenv("XDG_CONFIG_HOME");
}
fs::path PrefsFile() {
    return PrefsDir() / "zorlt-Prefs";
}

UInt64 Field(const std::vector<UInt8>& image, size_t at, int bytes, ByteOrder order) {
    UInt64 v = 0;
    for (int i = 0; i < bytes; ++i) {
        size_t k = order == ByteOrder::kBigEndian ? at + size_t(i) : at + size_t(bytes - 1 - i);
        v = v << 8 | image[k];
    }
    return v;
}

// A record whose every field holds a value of its own.
ConfigSaveRec DistinctRecord(ByteOrder order) {
    ConfigSaveRec r{};
    r.sizeInBytes = ConfigSaveSize(order);
    r.version = 3;
    r.startRel = {0.125, 0.875, 0.25, 0.75};
    r.endRel = {0.5, 1.0, -0.5, 2.0};
    for (int i = 1; i <= 6; ++i) {
        r.colors[i] = {UInt16(0x1100 * i), UInt16(0x0102 * i), UInt16(0xF000 + i)};
        r.sliders[i] = SInt16(i == 6 ? -3 : 10 * i);
    }
    r.frameStartColor = {0xFFFF, 0x0001, 0x8000};
    r.frameEndColor = {0x0203, 0x0405, 0x0607};
    r.mediaType = 3;
    r.keepProps = true;
    r.method = -2;
    CopyCStringToPascal("Config save for Quorvel iMovie plug-in", r.miscString);
    return r;
}

// Stores raw bytes as resource "Pref" 1 in a fresh settings file.
void StoreRecordBytes(const std::vector<UInt8>& bytes) {
    fs::remove(PrefsFile());
    CreateSettingsFile();
    FSSpec spec;
    ASSERT_EQ(toolbox::FSSpecFromPath(PrefsFile().string(), &spec), noErr);
    SInt16 ref = FSpOpenResFile(&spec, fsRdWrPerm);
    Handle h = NewHandle(Size(bytes.size()));
    if (!bytes.empty()) std::memcpy(*h, bytes.data(), bytes.size());
    Str255 name;
    CopyCStringToPascal("Config Settings", name);
    AddResource(h, FourCC("Pref"), 1, name);
    CloseResFile(ref);
    ASSERT_EQ(ResError(), noErr);
}

std::vector<UInt8> Image(const ConfigSaveRec& r, ByteOrder order) {
    std::vector<UInt8> image(ConfigSaveSize(order), 0xAA);
    PutConfigSave(r, order, image.data());
    return image;
}

PluginDataRec Defaults() {
    PluginDataRec c{};
    ResetConfig(&c, true);
    return c;
}

class SavedConfig : public testing::Test {
  protected:
    void SetUp() override {
        for (const auto& entry : fs::directory_iterator(PrefsDir()))
            fs::remove_all(entry.path());
        outerFile = CurResFile();
    }
    void TearDown() override { EXPECT_EQ(CurResFile(), outerFile); }
    SInt16 outerFile = 0;
};

} // namespace

TEST(ConfigSaveImage, FieldsSitAtTheirOffsetsInBothByteOrders) {
    for (ByteOrder order : {ByteOrder::kLittleEndian, ByteOrder::kBigEndian}) {
        SCOPED_TRACE(order == ByteOrder::kBigEndian ? "big-endian" : "little-endian");
        ConfigSaveRec r = DistinctRecord(order);
        auto image = Image(r, order);
        ASSERT_EQ(image.size(), order == ByteOrder::kBigEndian ? 394u : 396u);
        EXPECT_EQ(Field(image, 0, 4, order), image.size());
        EXPECT_EQ(Field(image, 4, 4, order), 3u);
        const double start[4] = {0.125, 0.875, 0.25, 0.75}, end[4] = {0.5, 1.0, -0.5, 2.0};
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(Field(image, 8 + 8 * size_t(i), 8, order), std::bit_cast<UInt64>(start[i]));
            EXPECT_EQ(Field(image, 40 + 8 * size_t(i), 8, order), std::bit_cast<UInt64>(end[i]));
        }
        for (int i = 1; i <= 6; ++i) {
            size_t at = 72 + 6 * size_t(i - 1);
            EXPECT_EQ(Field(image, at, 2, order), 0x1100u * UInt64(i));
            EXPECT_EQ(Field(image, at + 2, 2, order), 0x0102u * UInt64(i));
            EXPECT_EQ(Field(image, at + 4, 2, order), 0xF000u + UInt64(i));
            EXPECT_EQ(SInt16(Field(image, 108 + 2 * size_t(i - 1), 2, order)), i == 6 ? -3 : 10 * i);
        }
        EXPECT_EQ(Field(image, 120, 2, order), 0xFFFFu);
        EXPECT_EQ(Field(image, 124, 2, order), 0x8000u);
        EXPECT_EQ(Field(image, 126, 2, order), 0x0203u);
        EXPECT_EQ(Field(image, 130, 2, order), 0x0607u);
        EXPECT_EQ(Field(image, 132, 2, order), 3u);
        EXPECT_EQ(image[134], 1);
        EXPECT_EQ(image[135], 0) << "padding";
        EXPECT_EQ(SInt16(Field(image, 136, 2, order)), -2);
        EXPECT_EQ(image[138], 38);
        EXPECT_EQ(std::string(image.begin() + 139, image.begin() + 177),
                  "Config save for Quorvel iMovie plug-in");
        for (size_t i = 177; i < image.size(); ++i)
            ASSERT_EQ(image[i], 0) << "byte " << i;

        ConfigSaveRec back{};
        ASSERT_TRUE(GetConfigSave(image.data(), image.size(), order, back));
        EXPECT_EQ(Image(back, order), image);
        EXPECT_FALSE(GetConfigSave(image.data(), 393, order, back));
    }
}

TEST_F(SavedConfig, TheFirstCallCreatesTheFileWithTheDefaults) {
    testhost::ScriptedHost host;
    ASSERT_TRUE(host.OpenBundleResources(testpaths::Bundle()));
    UnloadEffectLayer(&host.procs);
    SInt16 bundleFile = CurResFile();
    ASSERT_FALSE(fs::exists(PrefsFile()));
    HYPluginParams params = host.MakeParams(kPlugGetInfo);
    ASSERT_EQ(PluginMain(0, &params), kPluginOK);
    EXPECT_EQ(CurResFile(), bundleFile) << "the settings file leaves the chain as it was";

    // Created and then saved (replaced by a new file): it carries its type and creator.
    FSSpec spec;
    ASSERT_EQ(toolbox::FSSpecFromPath(PrefsFile().string(), &spec), noErr);
    OSType type = 0, creator = 0;
    ASSERT_EQ(FSpGetFileTypeCreator(&spec, &type, &creator), noErr);
    EXPECT_EQ((std::vector<OSType>{type, creator}), (std::vector<OSType>{FourCC("Pref"), FourCC("qvrl")}));

    auto bytes = ReadFileBytes(PrefsFile());
    EXPECT_EQ(CountOfType(bytes, FourCC("Pref")), 1);
    std::string tail(bytes.end() - 16, bytes.end());
    EXPECT_EQ(tail, "\x0F"
                    "Config Settings");
    // The defaults: the whole frame, every colour inverted, box 2 white, a red outline.
    std::vector<UInt8> expected(396);
    ConfigSaveRec r{};
    r.sizeInBytes = 396;
    r.version = 3;
    r.startRel = r.endRel = {0.0, 1.0, 0.0, 1.0};
    for (int i = 1; i <= 3; ++i)
        r.sliders[i] = 100;
    r.colors[2] = {0xFFFF, 0xFFFF, 0xFFFF};
    r.frameStartColor = {0xFFFF, 0, 0};
    r.mediaType = 1;
    r.method = 1;
    CopyCStringToPascal("Config save for Quorvel iMovie plug-in", r.miscString);
    PutConfigSave(r, ByteOrder::kLittleEndian, expected.data());
    ASSERT_GE(bytes.size(), 256u + 4 + 396);
    EXPECT_EQ(std::vector<UInt8>(bytes.begin() + 260, bytes.begin() + 656), expected);

    // The plug-in's own lists are still found after the settings file came and went.
    Str255 label;
    GetIndString(label, 130, 1);
    EXPECT_GT(label[0], 0);
    EXPECT_STREQ(params.getInfo2.filterSliders[0].maxLabel, "Right");
    UnloadEffectLayer(&host.procs);
}

TEST_F(SavedConfig, SavedValuesComeBackAndOnlyStoredFieldsAreRead) {
    CreateSettingsFile();
    PluginDataRec c = Defaults();
    c.sliders[1] = 30;
    c.startRel = {0.1, 0.9, 0.2, 0.8};
    c.frameEndColor = {1, 2, 3};
    c.keepProps = true;
    c.mediaType = kMediaHD;
    ASSERT_TRUE(SaveConfig(&c));
    ASSERT_TRUE(SaveConfig(&c));
    EXPECT_EQ(CountOfType(ReadFileBytes(PrefsFile()), FourCC("Pref")), 1) << "two saves leave one record";

    PluginDataRec back = Defaults();
    auto* image = reinterpret_cast<CGImageRef>(std::uintptr_t(0x1234));
    back.theOriginalImage = image;
    back.theRendered = image;
    auto before = ReadFileBytes(PrefsFile());
    ASSERT_TRUE(ReadConfig(&back));
    EXPECT_EQ(ReadFileBytes(PrefsFile()), before) << "reading writes nothing";
    EXPECT_EQ(back.theOriginalImage, image);
    EXPECT_EQ(back.theRendered, image);
    back.theOriginalImage = back.theRendered = nullptr;
    EXPECT_EQ(std::memcmp(&back.startRel, &c.startRel, offsetof(PluginDataRec, theOriginalImage)), 0);
    EXPECT_EQ(back.keepProps, c.keepProps);
}

// A record of another build, version or size is rejected and replaced by the defaults at
// start; any misc text is accepted.
TEST_F(SavedConfig, OnlyRecordsOfThisBuildVersionAndSizeAreRead) {
    ConfigSaveRec big = DistinctRecord(ByteOrder::kBigEndian);
    ConfigSaveRec v2 = DistinctRecord(ByteOrder::kLittleEndian), v4 = v2, other = v2;
    v2.version = 2;
    v4.version = 4;
    CopyCStringToPascal("written by something else entirely", other.miscString);
    auto cut = Image(DistinctRecord(ByteOrder::kLittleEndian), ByteOrder::kLittleEndian);
    cut.resize(394);
    const struct {
        const char* what;
        std::vector<UInt8> bytes;
    } cases[] = {{"big-endian build's record", Image(big, ByteOrder::kBigEndian)},
                 {"version 2", Image(v2, ByteOrder::kLittleEndian)},
                 {"version 4", Image(v4, ByteOrder::kLittleEndian)},
                 {"record cut short", cut},
                 {"empty resource", {}},
                 {"", Image(other, ByteOrder::kLittleEndian)}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        StoreRecordBytes(c.bytes);
        PluginDataRec config = Defaults();
        config.sliders[1] = 55;
        PluginDataRec before = config;
        if (!*c.what) {
            ASSERT_TRUE(ReadConfig(&config));
            EXPECT_EQ(config.sliders[6], -3);
            EXPECT_EQ(config.method, -2);
            EXPECT_EQ(config.frameEndColor.blue, 0x0607);
            continue;
        }
        EXPECT_FALSE(ReadConfig(&config));
        EXPECT_EQ(std::memcmp(&config, &before, sizeof config), 0);

        // At start the defaults stay and are stored over the rejected record.
        PluginDataRec master{};
        InitPluginData(&master);
        EXPECT_EQ(master.sliders[1], 100);
        auto bytes = ReadFileBytes(PrefsFile());
        EXPECT_EQ(CountOfType(bytes, FourCC("Pref")), 1);
        PluginDataRec reread = Defaults();
        reread.sliders[1] = 1;
        EXPECT_TRUE(ReadConfig(&reread));
        EXPECT_EQ(reread.sliders[1], 100);
    }
}

TEST_F(SavedConfig, WithoutAFileOrAFolderNothingIsReadOrWritten) {
    PluginDataRec config = Defaults();
    EXPECT_FALSE(SaveConfig(&config)) << "SaveConfig never creates the file";
    EXPECT_FALSE(fs::exists(PrefsFile()));
    EXPECT_FALSE(ReadConfig(&config));
    EXPECT_FALSE(SaveConfig(nullptr));
    EXPECT_FALSE(ReadConfig(nullptr));

    std::string saved = std::getenv("XDG_CONFIG_HOME"), savedHome = std::getenv("HOME");
    testsupport::WriteFileBytes(PrefsDir() / "not-a-folder", {1});
    setenv("XDG_CONFIG_HOME", (PrefsDir() / "not-a-folder").c_str(), 1);
    setenv("HOME", (PrefsDir() / "not-a-folder").c_str(), 1);
    CreateSettingsFile();
    EXPECT_FALSE(SaveConfig(&config));
    EXPECT_FALSE(ReadConfig(&config));
    setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    setenv("HOME", savedHome.c_str(), 1);
}

TEST_F(SavedConfig, AFailedWriteIsReportedAndLeavesTheOldRecord) {
    CreateSettingsFile();
    PluginDataRec config = Defaults();
    config.sliders[2] = 42;
    ASSERT_TRUE(SaveConfig(&config));
    auto before = ReadFileBytes(PrefsFile());

    // A file size limit below the file's size makes every write fail, as a full disk does.
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit tiny = old;
    tiny.rlim_cur = 300;
    setrlimit(RLIMIT_FSIZE, &tiny);
    config.sliders[2] = 7;
    bool saved = SaveConfig(&config);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(saved);
    EXPECT_EQ(ReadFileBytes(PrefsFile()), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(PrefsDir()), fs::directory_iterator()), 1)
        << "no temporary left";
}

TEST_F(SavedConfig, AnUnreadableFileIsMovedAsideAndAFreshOneWritten) {
    PluginDataRec config = Defaults();
    config.sliders[3] = 9;
    for (int round = 1; round <= 2; ++round) {
        std::vector<UInt8> junk(100, UInt8(round));
        testsupport::WriteFileBytes(PrefsFile(), junk);
        EXPECT_FALSE(ReadConfig(&config));
        ASSERT_TRUE(SaveConfig(&config));
        fs::path aside = PrefsDir() / (round == 1 ? "zorlt-Prefs.unreadable" : "zorlt-Prefs.unreadable-2");
        EXPECT_EQ(ReadFileBytes(aside), junk) << "the old file is kept, not overwritten";
        PluginDataRec back = Defaults();
        ASSERT_TRUE(ReadConfig(&back));
        EXPECT_EQ(back.sliders[3], 9);
    }
}

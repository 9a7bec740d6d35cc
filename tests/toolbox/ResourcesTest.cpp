// Resource files on disk: the format written and read, the chain, malformed files, and the
// preferences folder.
#include "toolbox/Resources.h"
#include "toolbox/Folders.h"
#include "toolbox/TextUtils.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::vector<UInt8> ReadBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void WriteBytes(const fs::path& p, const std::vector<UInt8>& bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

UInt32 BE32(const std::vector<UInt8>& b, size_t at) {
    return UInt32(b[at]) << 24 | UInt32(b[at + 1]) << 16 | UInt32(b[at + 2]) << 8 | b[at + 3];
}

Handle HandleOf(const std::string& bytes) {
    Handle h = NewHandle(Size(bytes.size()));
    std::memcpy(*h, bytes.data(), bytes.size());
    return h;
}

std::string Contents(Handle h) {
    return std::string(*h, size_t(GetHandleSize(h)));
}

// Each test works in a folder of its own and leaves no resource file open.
class ResourceFiles : public testing::Test {
  protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("umbrawash-res-" + std::to_string(getpid()) + "-" +
                                           testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        outerFile = CurResFile();
    }
    void TearDown() override {
        EXPECT_EQ(CurResFile(), outerFile) << "a test left a resource file open";
        fs::remove_all(dir);
    }
    FSSpec Spec(const std::string& name) {
        FSSpec spec;
        toolbox::FSSpecFromPath((dir / name).string(), &spec);
        return spec;
    }
    // A file holding the given (type, id, name, data) resources.
    FSSpec Make(const std::string& name,
                std::vector<std::tuple<ResType, SInt16, std::string, std::string>> res) {
        FSSpec spec = Spec(name);
        FSpCreateResFile(&spec, FourCC("test"), FourCC("rsrc"), smSystemScript);
        EXPECT_EQ(ResError(), noErr);
        SInt16 ref = FSpOpenResFile(&spec, fsRdWrPerm);
        for (auto& [type, id, resName, data] : res) {
            Str255 pname;
            toolbox::SetPascal(pname, resName);
            AddResource(HandleOf(data), type, id, pname);
            EXPECT_EQ(ResError(), noErr);
        }
        CloseResFile(ref);
        EXPECT_EQ(ResError(), noErr);
        return spec;
    }
    fs::path dir;
    SInt16 outerFile = 0;
};

} // namespace

TEST_F(ResourceFiles, AnEmptyFileIsTheStandard286Bytes) {
    Make("empty", {});
    auto bytes = ReadBytes(dir / "empty");
    ASSERT_EQ(bytes.size(), 286u);
    EXPECT_EQ(BE32(bytes, 0), 256u); // data offset
    EXPECT_EQ(BE32(bytes, 4), 256u); // map offset
    EXPECT_EQ(BE32(bytes, 8), 0u);   // data length
    EXPECT_EQ(BE32(bytes, 12), 30u); // map length
    EXPECT_EQ(std::vector<UInt8>(bytes.begin() + 256, bytes.begin() + 272),
              std::vector<UInt8>(bytes.begin(), bytes.begin() + 16)); // the map's copy of the header
    EXPECT_EQ(bytes[256 + 24] << 8 | bytes[256 + 25], 28);            // type list offset
    EXPECT_EQ(bytes[256 + 26] << 8 | bytes[256 + 27], 30);            // name list offset
    EXPECT_EQ(bytes[284] << 8 | bytes[285], 0xFFFF);                  // no types
    FSSpec spec = Spec("empty");
    FSpCreateResFile(&spec, 0, 0, smSystemScript);
    EXPECT_EQ(ResError(), dupFNErr);
}

TEST_F(ResourceFiles, ResourcesRoundTripWithNamesAndTheStandardLayout) {
    FSSpec spec = Make("f", {{FourCC("Pref"), 1, "Config Settings", "abc"},
                             {FourCC("STR#"), 128, "", std::string("\0\1\2hi", 5)},
                             {FourCC("Pref"), -7, "", ""}});
    auto bytes = ReadBytes(dir / "f");
    EXPECT_EQ(BE32(bytes, 0), 256u);
    EXPECT_EQ(BE32(bytes, 4), 256u + BE32(bytes, 8)); // the map right after the data
    EXPECT_EQ(BE32(bytes, 4) + BE32(bytes, 12), bytes.size());
    // Names last: the file ends with the one name.
    std::string tail(bytes.end() - 16, bytes.end());
    EXPECT_EQ(tail, std::string("\x0F") + "Config Settings");

    SInt16 ref = FSpOpenResFile(&spec, fsRdPerm);
    ASSERT_NE(ref, -1);
    Handle a = Get1Resource(FourCC("Pref"), 1);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(Contents(a), "abc");
    EXPECT_EQ(Get1Resource(FourCC("Pref"), 1), a) << "a loaded resource is handed out once";
    Handle empty = Get1Resource(FourCC("Pref"), -7);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(GetHandleSize(empty), 0);
    EXPECT_EQ(Get1Resource(FourCC("Pref"), 2), nullptr);
    EXPECT_EQ(ResError(), resNotFound);
    Str255 s;
    GetIndString(s, 128, 1);
    EXPECT_EQ(toolbox::PascalView(s), "hi");
    CloseResFile(ref);
}

TEST_F(ResourceFiles, SavingReplacesTheFileAndKeepsOtherResources) {
    FSSpec spec =
        Make("f", {{FourCC("Pref"), 1, "Config Settings", "old"}, {FourCC("Othr"), 5, "keep", "mine"}});
    SInt16 ref = FSpOpenResFile(&spec, fsRdWrPerm);
    Handle old = Get1Resource(FourCC("Pref"), 1);
    RemoveResource(old);
    DisposeHandle(old);
    Str255 name;
    CopyCStringToPascal("Config Settings", name);
    AddResource(HandleOf("new!"), FourCC("Pref"), 1, name);
    UpdateResFile(ref);
    EXPECT_EQ(ResError(), noErr);
    CloseResFile(ref);
    // Nothing but the file itself is left in the folder: the new file replaced it.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);

    ref = FSpOpenResFile(&spec, fsRdPerm);
    EXPECT_EQ(Contents(Get1Resource(FourCC("Pref"), 1)), "new!");
    EXPECT_EQ(Contents(Get1Resource(FourCC("Othr"), 5)), "mine");
    CloseResFile(ref);
}

TEST_F(ResourceFiles, DetachedHandlesOutliveTheFileAndReadOnlyFilesRefuseChanges) {
    FSSpec spec = Make("f", {{FourCC("Pref"), 1, "", "data"}});
    auto before = ReadBytes(dir / "f");
    SInt16 ref = FSpOpenResFile(&spec, fsRdPerm);
    Handle h = Get1Resource(FourCC("Pref"), 1);
    DetachResource(h);
    Handle refused = HandleOf("x");
    AddResource(refused, FourCC("Pref"), 2, nullptr);
    EXPECT_EQ(ResError(), wrPermErr);
    DisposeHandle(refused); // a handle AddResource refused stays the caller's
    RemoveResource(Get1Resource(FourCC("Pref"), 1));
    EXPECT_EQ(ResError(), wrPermErr);
    CloseResFile(ref);
    EXPECT_EQ(Contents(h), "data");
    DisposeHandle(h);
    EXPECT_EQ(ReadBytes(dir / "f"), before);
    ReleaseResource(nullptr);
    EXPECT_EQ(ResError(), rmvResFailed);
}

TEST_F(ResourceFiles, TheChainIsSearchedFromTheCurrentFileAndClosingRestoresTheOneBefore) {
    FSSpec lower = Make("lower", {{FourCC("STR#"), 1, "", std::string("\0\1\5lower", 8)},
                                  {FourCC("STR#"), 2, "", std::string("\0\1\4only", 7)}});
    FSSpec upper = Make("upper", {{FourCC("STR#"), 1, "", std::string("\0\1\5upper", 8)}});
    SInt16 low = FSpOpenResFile(&lower, fsRdPerm);
    SInt16 up = FSpOpenResFile(&upper, fsRdPerm);
    EXPECT_EQ(CurResFile(), up);
    Str255 s;
    GetIndString(s, 1, 1);
    EXPECT_EQ(toolbox::PascalView(s), "upper");
    GetIndString(s, 2, 1);
    EXPECT_EQ(toolbox::PascalView(s), "only") << "GetResource goes down the chain";
    EXPECT_EQ(Get1Resource(FourCC("STR#"), 2), nullptr) << "Get1Resource stays in the current file";
    UseResFile(low);
    GetIndString(s, 1, 1);
    EXPECT_EQ(toolbox::PascalView(s), "lower");
    UseResFile(up);
    CloseResFile(up);
    EXPECT_EQ(CurResFile(), low);
    UseResFile(12345);
    EXPECT_EQ(ResError(), resFNotFound);
    EXPECT_EQ(CurResFile(), low);
    CloseResFile(low);
}

TEST_F(ResourceFiles, GetIndStringGivesAnEmptyStringForEveryBadListOrIndex) {
    // Count 3, but the third string runs past the end; the second claims more than is there.
    FSSpec spec = Make("f", {{FourCC("STR#"), 5, "", std::string("\0\3\2ab\7c", 6)},
                             {FourCC("STR#"), 6, "", std::string("\0", 1)}});
    SInt16 ref = FSpOpenResFile(&spec, fsRdPerm);
    Str255 s;
    struct Case {
        SInt16 list, index;
        const char* expected;
    };
    for (Case c : {Case{5, 1, "ab"}, Case{5, 2, ""}, Case{5, 3, ""}, Case{5, 4, ""}, Case{5, 0, ""},
                   Case{5, -1, ""}, Case{6, 1, ""}, Case{99, 1, ""}}) {
        s[0] = 9;
        GetIndString(s, c.list, c.index);
        EXPECT_EQ(toolbox::PascalView(s), c.expected) << c.list << "/" << c.index;
    }
    CloseResFile(ref);
}

TEST_F(ResourceFiles, MalformedFilesAreRefusedWithMapReadErr) {
    Make("good",
         {{FourCC("Pref"), 1, "Config Settings", std::string(396, 'x')}, {FourCC("STR#"), 2, "", "zz"}});
    const auto good = ReadBytes(dir / "good");
    const size_t map = BE32(good, 4);
    auto set16 = [](std::vector<UInt8>& b, size_t at, UInt16 v) {
        b[at] = UInt8(v >> 8);
        b[at + 1] = UInt8(v);
    };
    auto set32 = [](std::vector<UInt8>& b, size_t at, UInt32 v) {
        for (int i = 0; i < 4; ++i)
            b[at + size_t(i)] = UInt8(v >> (24 - 8 * i));
    };
    struct Damage {
        const char* what;
        std::function<void(std::vector<UInt8>&)> apply;
    };
    std::vector<Damage> damages = {
        {"empty file", [](auto& b) { b.clear(); }},
        {"header cut short", [](auto& b) { b.resize(10); }},
        {"map cut off", [&](auto& b) { b.resize(map + 20); }},
        {"data offset past the end", [&](auto& b) { set32(b, 0, UInt32(b.size())); }},
        {"data length past the end", [&](auto& b) { set32(b, 8, 0xFFFFFFF0u); }},
        {"map offset past the end", [&](auto& b) { set32(b, 4, 0x7FFFFFFFu); }},
        {"map too short for its head", [&](auto& b) { set32(b, 12, 20); }},
        {"type list offset outside the map", [&](auto& b) { set16(b, map + 24, 0xFFF0); }},
        {"name list offset outside the map", [&](auto& b) { set16(b, map + 26, 0xFFF0); }},
        {"type count beyond the list", [&](auto& b) { set16(b, map + 28, 0x00FF); }},
        {"reference count beyond the list", [&](auto& b) { set16(b, map + 30 + 4, 0x0FFF); }},
        {"reference list offset outside", [&](auto& b) { set16(b, map + 30 + 6, 0xFF00); }},
        {"data offset of a reference outside", [&](auto& b) { b[map + 46 + 5] = 0x7F; }},
        {"data entry length past the data", [&](auto& b) { set32(b, 256, 0x00FFFFFFu); }},
        {"name offset outside", [&](auto& b) { set16(b, map + 46 + 2, 0x7FFF); }},
        {"name length past the end", [&](auto& b) { b[b.size() - 16] = 0xFF; }},
    };
    for (const auto& damage : damages) {
        auto bytes = good;
        damage.apply(bytes);
        WriteBytes(dir / "bad", bytes);
        FSSpec spec = Spec("bad");
        EXPECT_EQ(FSpOpenResFile(&spec, fsRdWrPerm), -1) << damage.what;
        EXPECT_EQ(ResError(), mapReadErr) << damage.what;
    }
    FSSpec missing = Spec("missing");
    EXPECT_EQ(FSpOpenResFile(&missing, fsRdPerm), -1);
    EXPECT_EQ(ResError(), fnfErr);
}

TEST_F(ResourceFiles, FSSpecRecordsNameFilesInKnownFolders) {
    FSSpec spec;
    EXPECT_EQ(toolbox::FSSpecFromPath((dir / "absent").string(), &spec), fnfErr);
    EXPECT_EQ(toolbox::FSSpecToPath(spec), (dir / "absent").string());
    Str255 name;
    CopyCStringToPascal("a/b", name);
    EXPECT_EQ(FSMakeFSSpec(spec.vRefNum, spec.parID, name, &spec), bdNamErr);
    CopyCStringToPascal("x", name);
    EXPECT_EQ(FSMakeFSSpec(spec.vRefNum, 4242, name, &spec), dirNFErr);
    EXPECT_EQ(toolbox::FSSpecFromPath((dir / "nodir" / "x").string(), &spec), dirNFErr);
}

TEST_F(ResourceFiles, ThePreferencesFolderFollowsXdgAndIsMadeWithMode0700) {
    std::string savedXdg = std::getenv("XDG_CONFIG_HOME"), savedHome = std::getenv("HOME");
    FSVolumeRefNum vRef = 0;
    SInt32 dirID = 0;
    auto found = [&] {
        Str255 name;
        CopyCStringToPascal("probe", name);
        FSSpec spec;
        FSMakeFSSpec(vRef, dirID, name, &spec);
        return fs::path(toolbox::FSSpecToPath(spec)).parent_path();
    };

    setenv("XDG_CONFIG_HOME", (dir / "xdg" / "conf").c_str(), 1);
    ASSERT_EQ(FindFolder(kOnSystemDisk, kPreferencesFolderType, kDontCreateFolder, &vRef, &dirID), noErr);
    EXPECT_EQ(found(), dir / "xdg" / "conf");
    struct stat info {};
    ASSERT_EQ(stat((dir / "xdg" / "conf").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
    setenv("HOME", (dir / "home").c_str(), 1);
    fs::create_directories(dir / "home");
    ASSERT_EQ(FindFolder(kOnSystemDisk, kPreferencesFolderType, kDontCreateFolder, &vRef, &dirID), noErr);
    EXPECT_EQ(found(), dir / "home" / ".config");

    // A file where the folder should be: the lookup fails.
    unsetenv("XDG_CONFIG_HOME");
    fs::remove_all(dir / "home" / ".config");
    WriteBytes(dir / "home" / ".config", {1});
    EXPECT_EQ(FindFolder(kOnSystemDisk, kPreferencesFolderType, kDontCreateFolder, &vRef, &dirID), fnfErr);
    EXPECT_EQ(FindFolder(kOnSystemDisk, FourCC("desk"), kDontCreateFolder, &vRef, &dirID), fnfErr);

    setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1);
    setenv("HOME", savedHome.c_str(), 1);
}

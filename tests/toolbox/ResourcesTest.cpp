// Resource files on disk: the format written and read, the chain, malformed files, and the
// preferences folder.
#include "toolbox/Resources.h"
#include "toolbox/Folders.h"
#include "toolbox/TextUtils.h"

#include "MediaFiles.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <tuple>

namespace {

using Bytes = std::string;

// The big-endian number of `bytes` bytes at `at`.
UInt32 BE(const Bytes& b, size_t at, int bytes = 4) {
    UInt32 v = 0;
    for (int i = 0; i < bytes; ++i)
        v = v << 8 | UInt8(b[at + size_t(i)]);
    return v;
}

Handle HandleOf(const std::string& bytes) {
    Handle h = NewHandle(Size(bytes.size()));
    std::memcpy(*h, bytes.data(), bytes.size());
    return h;
}

std::string Contents(Handle h) {
    return h ? std::string(*h, size_t(GetHandleSize(h))) : "(no resource)";
}

// Each test works in a folder of its own and leaves no resource file open.
class ResourceFiles : public testing::Test {
  protected:
    void SetUp() override { outerFile = CurResFile(); }
    void TearDown() override { EXPECT_EQ(CurResFile(), outerFile) << "a test left a resource file open"; }
    FSSpec Spec(const std::string& name) {
        FSSpec spec;
        toolbox::FSSpecFromPath(dir / name, &spec);
        return spec;
    }
    Bytes Read(const std::string& name) { return mediafiles::ReadAll(dir / name); }
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
    mediafiles::TempDir dir;
    SInt16 outerFile = 0;
};

} // namespace

TEST_F(ResourceFiles, FilesHaveTheStandardLayoutAndResourcesRoundTripWithTheirNames) {
    FSSpec spec = Make("empty", {});
    Bytes bytes = Read("empty");
    ASSERT_EQ(bytes.size(), 286u);
    EXPECT_EQ(BE(bytes, 0), 256u);                         // data offset
    EXPECT_EQ(BE(bytes, 4), 256u);                         // map offset
    EXPECT_EQ(BE(bytes, 8), 0u);                           // data length
    EXPECT_EQ(BE(bytes, 12), 30u);                         // map length
    EXPECT_EQ(bytes.substr(256, 16), bytes.substr(0, 16)); // the map's copy of the header
    EXPECT_EQ(BE(bytes, 256 + 24, 2), 28u);                // type list offset
    EXPECT_EQ(BE(bytes, 256 + 26, 2), 30u);                // name list offset
    EXPECT_EQ(BE(bytes, 284, 2), 0xFFFFu);                 // no types
    FSpCreateResFile(&spec, 0, 0, smSystemScript);
    EXPECT_EQ(ResError(), dupFNErr);

    spec = Make("f", {{FourCC("Pref"), 1, "Config Settings", "abc"},
                      {FourCC("STR#"), 128, "", std::string("\0\1\2hi", 5)},
                      {FourCC("Pref"), -7, "", ""}});
    bytes = Read("f");
    EXPECT_EQ(BE(bytes, 0), 256u);
    EXPECT_EQ(BE(bytes, 4), 256u + BE(bytes, 8)); // the map right after the data
    EXPECT_EQ(BE(bytes, 4) + BE(bytes, 12), bytes.size());
    EXPECT_EQ(bytes.substr(bytes.size() - 16), "\x0F"
                                               "Config Settings"); // names last
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

// A save writes a whole new file and renames it over the old one: the other resources and
// their names stay, and a save that cannot be completed leaves the old file as it was.
TEST_F(ResourceFiles, SavingReplacesTheFileWholeAndKeepsOtherResources) {
    FSSpec spec =
        Make("f", {{FourCC("Pref"), 1, "Config Settings", "old"}, {FourCC("Othr"), 5, "keep", "mine"}});
    auto replacePref = [&](const std::string& data) {
        SInt16 ref = FSpOpenResFile(&spec, fsRdWrPerm);
        Handle old = Get1Resource(FourCC("Pref"), 1);
        RemoveResource(old);
        DisposeHandle(old);
        Str255 name;
        CopyCStringToPascal("Config Settings", name);
        AddResource(HandleOf(data), FourCC("Pref"), 1, name);
        UpdateResFile(ref);
        OSErr err = ResError();
        CloseResFile(ref);
        return err;
    };
    EXPECT_EQ(replacePref("new!"), noErr);
    EXPECT_EQ(dir.Files(), std::vector<std::string>{"f"}); // nothing left beside it
    const Bytes saved = Read("f");
    EXPECT_NE(saved.find("\x04keep"), std::string::npos);

    // Files may grow no further than 4 KiB now: the big save fails half-way.
    rlimit limit, small{4096, 4096};
    getrlimit(RLIMIT_FSIZE, &limit);
    signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    EXPECT_NE(replacePref(std::string(8192, 'x')), noErr);
    setrlimit(RLIMIT_FSIZE, &limit);
    signal(SIGXFSZ, SIG_DFL);
    EXPECT_EQ(Read("f"), saved);
    EXPECT_EQ(dir.Files(), std::vector<std::string>{"f"});

    SInt16 ref = FSpOpenResFile(&spec, fsRdPerm);
    ASSERT_NE(ref, -1);
    EXPECT_EQ(Contents(Get1Resource(FourCC("Pref"), 1)), "new!");
    EXPECT_EQ(Contents(Get1Resource(FourCC("Othr"), 5)), "mine");
    CloseResFile(ref);
}

TEST_F(ResourceFiles, DetachedHandlesOutliveTheFileAndReadOnlyFilesRefuseChanges) {
    FSSpec spec = Make("f", {{FourCC("Pref"), 1, "", "data"}});
    const Bytes before = Read("f");
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
    EXPECT_EQ(Read("f"), before);
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
    const std::tuple<SInt16, SInt16, const char*> cases[] = {
        {5, 1, "ab"}, {5, 2, ""}, {5, 3, ""}, {5, 4, ""}, {5, 0, ""}, {5, -1, ""}, {6, 1, ""}, {99, 1, ""}};
    for (auto [list, index, expected] : cases) {
        Str255 s = "\x09garbage!!";
        GetIndString(s, list, index);
        EXPECT_EQ(toolbox::PascalView(s), expected) << list << "/" << index;
    }
    CloseResFile(ref);
}

// Every offset, count and length of a file is checked against its size.
TEST_F(ResourceFiles, MalformedFilesAreRefusedWithMapReadErr) {
    Make("good",
         {{FourCC("Pref"), 1, "Config Settings", std::string(396, 'x')}, {FourCC("STR#"), 2, "", "zz"}});
    const Bytes good = Read("good");
    const size_t map = BE(good, 4);
    auto set = [](Bytes& b, size_t at, UInt32 v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            b[at + size_t(i)] = char(v >> (8 * (bytes - 1 - i)));
    };
    const std::pair<const char*, std::function<void(Bytes&)>> damages[] = {
        {"empty file", [](Bytes& b) { b.clear(); }},
        {"header cut short", [](Bytes& b) { b.resize(10); }},
        {"map cut off", [&](Bytes& b) { b.resize(map + 20); }},
        {"data offset past the end", [&](Bytes& b) { set(b, 0, UInt32(b.size()), 4); }},
        {"data length past the end", [&](Bytes& b) { set(b, 8, 0xFFFFFFF0u, 4); }},
        {"map offset past the end", [&](Bytes& b) { set(b, 4, 0x7FFFFFFFu, 4); }},
        {"map too short for its head", [&](Bytes& b) { set(b, 12, 20, 4); }},
        {"type list offset outside the map", [&](Bytes& b) { set(b, map + 24, 0xFFF0, 2); }},
        {"name list offset outside the map", [&](Bytes& b) { set(b, map + 26, 0xFFF0, 2); }},
        {"type count beyond the list", [&](Bytes& b) { set(b, map + 28, 0x00FF, 2); }},
        {"reference count beyond the list", [&](Bytes& b) { set(b, map + 30 + 4, 0x0FFF, 2); }},
        {"reference list offset outside", [&](Bytes& b) { set(b, map + 30 + 6, 0xFF00, 2); }},
        {"data offset of a reference outside", [&](Bytes& b) { set(b, map + 46 + 5, 0x7F, 1); }},
        {"data entry length past the data", [&](Bytes& b) { set(b, 256, 0x00FFFFFFu, 4); }},
        {"name offset outside", [&](Bytes& b) { set(b, map + 46 + 2, 0x7FFF, 2); }},
        {"name length past the end", [&](Bytes& b) { set(b, b.size() - 16, 0xFF, 1); }},
    };
    FSSpec spec = Spec("bad");
    for (const auto& [what, damage] : damages) {
        Bytes bytes = good;
        damage(bytes);
        std::ofstream(dir / "bad", std::ios::binary | std::ios::trunc) << bytes;
        EXPECT_EQ(FSpOpenResFile(&spec, fsRdWrPerm), -1) << what;
        EXPECT_EQ(ResError(), mapReadErr) << what;
    }
    FSSpec missing = Spec("missing");
    EXPECT_EQ(FSpOpenResFile(&missing, fsRdPerm), -1);
    EXPECT_EQ(ResError(), fnfErr);
}

TEST_F(ResourceFiles, ThePreferencesFolderFollowsXdgAndIsMadeWithMode0700) {
    std::string savedXdg = std::getenv("XDG_CONFIG_HOME"), savedHome = std::getenv("HOME");
    auto found = [] {
        FSVolumeRefNum vRef = 0;
        SInt32 dirID = 0;
        EXPECT_EQ(FindFolder(kOnSystemDisk, kPreferencesFolderType, kDontCreateFolder, &vRef, &dirID), noErr);
        Str255 name;
        CopyCStringToPascal("probe", name);
        FSSpec spec;
        FSMakeFSSpec(vRef, dirID, name, &spec);
        return std::filesystem::path(toolbox::FSSpecToPath(spec)).parent_path().string();
    };
    setenv("XDG_CONFIG_HOME", (dir / "xdg/conf").c_str(), 1);
    EXPECT_EQ(found(), dir / "xdg/conf");
    EXPECT_EQ(std::filesystem::status(dir / "xdg/conf").permissions(), std::filesystem::perms::owner_all);

    setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
    setenv("HOME", (dir / "home").c_str(), 1);
    std::filesystem::create_directories(dir / "home");
    EXPECT_EQ(found(), dir / "home/.config");
    setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1);
    setenv("HOME", savedHome.c_str(), 1);
}

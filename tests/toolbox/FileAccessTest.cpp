// Data forks by reference number, file records, descriptor lists of files and type
// identifiers, on real files in a temporary folder.
#include "toolbox/AppleEvents.h"
#include "toolbox/Files.h"
#include "toolbox/LaunchServices.h"
#include "toolbox/TextUtils.h"

#include "MediaFiles.h"

#include <gtest/gtest.h>

#include <fstream>
#include <tuple>

namespace {

using mediafiles::ReadAll;

FSSpec SpecFor(const std::string& path) {
    FSSpec spec{};
    OSErr err = toolbox::FSSpecFromPath(path, &spec);
    EXPECT_TRUE(err == noErr || err == fnfErr) << err;
    return spec;
}

TEST(FileAccess, CreateOpenWriteSeekReadClose) {
    mediafiles::TempDir dir;
    FSSpec spec = SpecFor(dir / "notes.txt");
    ASSERT_EQ(FSpCreate(&spec, FourCC("qvrl"), FourCC("TEXT"), smSystemScript), noErr);
    EXPECT_EQ(FSpCreate(&spec, 0, 0, smSystemScript), dupFNErr);
    SInt16 ref = 0;
    ASSERT_EQ(FSpOpenDF(&spec, fsRdWrPerm, &ref), noErr);
    EXPECT_GT(ref, 0);
    SInt32 count = 5;
    ASSERT_EQ(FSWrite(ref, &count, "hello"), noErr);
    EXPECT_EQ(count, 5);
    ASSERT_EQ(SetFPos(ref, fsFromStart, 1), noErr);
    count = 2;
    ASSERT_EQ(FSWrite(ref, &count, "EL"), noErr);
    EXPECT_EQ(SetFPos(ref, fsFromStart, -1), posErr);
    ASSERT_EQ(FSClose(ref), noErr);
    EXPECT_EQ(FSClose(ref), rfNumErr);
    count = 1;
    EXPECT_EQ(FSWrite(ref, &count, "x"), rfNumErr);
    EXPECT_EQ(ReadAll(dir / "notes.txt"), "hELlo");

    // Read-only: writing fails and the file is unchanged.
    ASSERT_EQ(FSpOpenDF(&spec, fsRdPerm, &ref), noErr);
    count = 3;
    EXPECT_NE(FSWrite(ref, &count, "abc"), noErr);
    FSClose(ref);
    EXPECT_EQ(ReadAll(dir / "notes.txt"), "hELlo");

    ASSERT_EQ(FSpDelete(&spec), noErr);
    EXPECT_EQ(FSpDelete(&spec), fnfErr);
    EXPECT_EQ(FSpOpenDF(&spec, fsRdWrPerm, &ref), fnfErr);
    EXPECT_EQ(ref, 0);
}

// A record names a file that need not exist, in a folder that must; a folder keeps its number.
TEST(FileAccess, RecordsNameFilesInExistingFolders) {
    mediafiles::TempDir dir;
    FSSpec spec;
    EXPECT_EQ(toolbox::FSSpecFromPath(dir / "x", &spec), fnfErr);
    EXPECT_EQ(toolbox::FSSpecToPath(spec), dir / "x");
    EXPECT_EQ(SpecFor(dir / "y").parID, spec.parID);
    Str255 name;
    CopyCStringToPascal("a/b", name);
    EXPECT_EQ(FSMakeFSSpec(spec.vRefNum, spec.parID, name, &spec), bdNamErr);
    CopyCStringToPascal("x", name);
    EXPECT_EQ(FSMakeFSSpec(spec.vRefNum, 4242, name, &spec), dirNFErr);
    EXPECT_EQ(toolbox::FSSpecFromPath(dir / "nodir/x", &spec), dirNFErr);
}

TEST(FileAccess, DescriptorListsConvertBetweenFSSpecsAndFSRefs) {
    mediafiles::TempDir dir;
    std::ofstream(dir / "f") << "x";
    FSSpec spec = SpecFor(dir / "f"), gone = SpecFor(dir / "gone");
    FSRef ref;
    ASSERT_EQ(FSpMakeFSRef(&spec, &ref), noErr);
    AEDescList list;
    ASSERT_EQ(AECreateList(nullptr, 0, false, &list), noErr);
    ASSERT_EQ(AEPutPtr(&list, 0, typeFSRef, &ref, sizeof ref), noErr);
    ASSERT_EQ(AEPutPtr(&list, 0, typeFSS, &gone, sizeof gone), noErr);
    EXPECT_EQ(AEPutPtr(&list, 5, typeFSS, &gone, sizeof gone), errAEIllegalIndex);
    long count = 0;
    ASSERT_EQ(AECountItems(&list, &count), noErr);
    EXPECT_EQ(count, 2);
    FSSpec got{};
    DescType type = 0;
    Size size = 0;
    ASSERT_EQ(AEGetNthPtr(&list, 1, typeFSS, nullptr, &type, &got, sizeof got, &size), noErr);
    EXPECT_EQ(type, typeFSS);
    EXPECT_EQ(size, Size(sizeof got));
    EXPECT_EQ(toolbox::PascalView(got.name), "f");
    // The FSSpec of a missing file has no reference.
    EXPECT_EQ(AEGetNthPtr(&list, 2, typeFSRef, nullptr, nullptr, &ref, sizeof ref, nullptr),
              errAECoercionFail);
    EXPECT_EQ(AEGetNthPtr(&list, 3, typeFSS, nullptr, nullptr, &got, sizeof got, nullptr), errAEIllegalIndex);
    // A short buffer receives only what fits.
    char small[2] = {'#', '#'};
    ASSERT_EQ(AEGetNthPtr(&list, 2, typeFSS, nullptr, nullptr, small, 1, &size), noErr);
    EXPECT_EQ(small[1], '#');
    AEDisposeDesc(&list);
    EXPECT_EQ(AECountItems(&list, &count), errAEWrongDataType);
}

TEST(TypeIdentifiers, ByExtensionAndByTypeCodeWithConformance) {
    auto text = [](const char* s) { return CFStringCreateWithCString(nullptr, s, kCFStringEncodingUTF8); };
    const char *ext = "public.filename-extension", *code = "com.apple.ostype";
    // Tag class, tag, the identifier, another identifier, whether the first conforms to it.
    const std::tuple<const char*, const char*, const char*, const char*, bool> cases[] = {
        {ext, "PNG", "public.png", "public.image", true},
        {ext, "jpeg", "public.jpeg", "public.data", true},
        {ext, "tif", "public.tiff", "public.item", true},
        {ext, "pdf", "com.adobe.pdf", "public.image", false},
        {ext, "xyz", "dyn.ext.xyz", "public.data", false},
        {code, "PICT", "com.apple.pict", "public.image", true},
        {code, "fold", "public.folder", "public.folder", true},
        {code, "TEXT", "public.plain-text", "public.text", true},
    };
    for (auto [tagClass, tag, expected, other, conforms] : cases) {
        CFStringRef strings[] = {text(tagClass), text(tag), text(other)};
        CFStringRef uti = UTTypeCreatePreferredIdentifierForTag(strings[0], strings[1], nullptr);
        ASSERT_NE(uti, nullptr) << tag;
        EXPECT_EQ(toolbox::CFStringToUtf8(uti), expected) << tag;
        EXPECT_EQ(bool(UTTypeConformsTo(uti, strings[2])), conforms) << tag << " " << other;
        for (CFStringRef s : {strings[0], strings[1], strings[2], uti})
            CFRelease(s);
    }
}

} // namespace

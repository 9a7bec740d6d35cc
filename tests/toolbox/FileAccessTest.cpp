// Data forks by reference number, file references, folder lookups by number, descriptor
// lists of files and type identifiers, on real files in a temporary folder.
#include "toolbox/AppleEvents.h"
#include "toolbox/Files.h"
#include "toolbox/LaunchServices.h"
#include "toolbox/TextUtils.h"

#include "MediaFiles.h"

#include <gtest/gtest.h>

#include <fstream>

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

    OSType type = 0, creator = 0;
    ASSERT_EQ(FSpGetFileTypeCreator(&spec, &type, &creator), noErr);
    EXPECT_EQ(type, FourCC("TEXT"));
    EXPECT_EQ(creator, FourCC("qvrl"));

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

TEST(FileAccess, FolderNumbersLeadToTheRootAndStayTheSameAndRecordsNameFilesInThem) {
    mediafiles::TempDir dir;
    FSSpec spec = SpecFor(dir / "x");
    SInt32 id = spec.parID;
    EXPECT_EQ(SpecFor(dir / "y").parID, id);
    std::string path;
    for (int guard = 0; guard < 64; ++guard) {
        Str255 name{};
        CInfoPBRec pb{};
        pb.dirInfo.ioNamePtr = name;
        pb.dirInfo.ioFDirIndex = -1;
        pb.dirInfo.ioDrDirID = id;
        ASSERT_EQ(PBGetCatInfoSync(&pb), noErr);
        path = std::string(toolbox::PascalView(name)) + "/" + path;
        if (id == fsRtDirID) break;
        id = pb.dirInfo.ioDrParID;
    }
    EXPECT_EQ(path, std::string(kToolboxVolumeName) + dir.path() + "/");
    CInfoPBRec pb{};
    pb.dirInfo.ioFDirIndex = -1;
    pb.dirInfo.ioDrDirID = 99999;
    EXPECT_EQ(PBGetCatInfoSync(&pb), dirNFErr);
    // A record names a file that need not exist, in a folder that must.
    EXPECT_EQ(toolbox::FSSpecFromPath(dir / "x", &spec), fnfErr);
    EXPECT_EQ(toolbox::FSSpecToPath(spec), dir / "x");
    Str255 name;
    CopyCStringToPascal("a/b", name);
    EXPECT_EQ(FSMakeFSSpec(spec.vRefNum, spec.parID, name, &spec), bdNamErr);
    CopyCStringToPascal("x", name);
    EXPECT_EQ(FSMakeFSSpec(spec.vRefNum, 4242, name, &spec), dirNFErr);
    EXPECT_EQ(toolbox::FSSpecFromPath(dir / "nodir/x", &spec), dirNFErr);
}

TEST(FileAccess, ReferencesNameExistingItemsAndAFailedOneNamesNothing) {
    mediafiles::TempDir dir;
    std::ofstream(dir / "a.png") << "x";
    FSSpec spec = SpecFor(dir / "a.png"), back{};
    FSRef ref;
    ASSERT_EQ(FSpMakeFSRef(&spec, &ref), noErr);
    ASSERT_EQ(FSGetCatalogInfo(&ref, kFSCatInfoNone, nullptr, nullptr, &back, nullptr), noErr);
    EXPECT_EQ(back.parID, spec.parID);
    EXPECT_EQ(toolbox::PascalView(back.name), "a.png");

    FSSpec missing = SpecFor(dir / "none.png");
    EXPECT_EQ(FSpMakeFSRef(&missing, &ref), fnfErr);
    EXPECT_EQ(ref.item, 0u);
    EXPECT_EQ(FSGetCatalogInfo(&ref, kFSCatInfoNone, nullptr, nullptr, &back, nullptr), fnfErr);
    LSItemInfoRecord info;
    EXPECT_EQ(LSCopyItemInfoForRef(&ref, kLSRequestAllInfo, &info), fnfErr);
    EXPECT_EQ(CFURLCreateFromFSRef(nullptr, &ref), nullptr);
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

struct UTICase {
    const char* tagClass;
    const char* tag;
    const char* uti;
    const char* conformsTo;
    bool conforms;
};

TEST(TypeIdentifiers, ByExtensionAndByTypeCodeWithConformance) {
    const UTICase cases[] = {
        {"public.filename-extension", "PNG", "public.png", "public.image", true},
        {"public.filename-extension", "jpeg", "public.jpeg", "public.data", true},
        {"public.filename-extension", "jpg", "public.jpeg", "public.png", false},
        {"public.filename-extension", "tif", "public.tiff", "public.item", true},
        {"public.filename-extension", "pdf", "com.adobe.pdf", "public.image", false},
        {"public.filename-extension", "pdf", "com.adobe.pdf", "com.adobe.pdf", true},
        {"public.filename-extension", "xyz", "dyn.ext.xyz", "public.data", false},
        {"com.apple.ostype", "PICT", "com.apple.pict", "public.image", true},
        {"com.apple.ostype", "fold", "public.folder", "public.folder", true},
        {"com.apple.ostype", "TEXT", "public.plain-text", "public.text", true},
    };
    for (const UTICase& c : cases) {
        CFStringRef tagClass = CFStringCreateWithCString(nullptr, c.tagClass, kCFStringEncodingUTF8);
        CFStringRef tag = CFStringCreateWithCString(nullptr, c.tag, kCFStringEncodingUTF8);
        CFStringRef target = CFStringCreateWithCString(nullptr, c.conformsTo, kCFStringEncodingUTF8);
        CFStringRef uti = UTTypeCreatePreferredIdentifierForTag(tagClass, tag, nullptr);
        ASSERT_NE(uti, nullptr) << c.tag;
        EXPECT_EQ(toolbox::CFStringToUtf8(uti), c.uti) << c.tag;
        EXPECT_EQ(bool(UTTypeConformsTo(uti, target)), c.conforms) << c.tag << " " << c.conformsTo;
        for (CFStringRef s : {tagClass, tag, target, uti})
            CFRelease(s);
    }
}

} // namespace

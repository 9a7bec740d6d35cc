// File and image loading on real files: choosers driven by a script, text files written by
// reference number, types, and pictures and images loaded every way from a PNG file.
#include "util/EasyFile.h"
#include "util/commonprocs.h"

#include "PaddedBuffer.h"

#include "toolbox/InputSources.h"
#include "toolbox/LaunchServices.h"
#include "toolbox/TextUtils.h"

#include "MediaFiles.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <fstream>

namespace {

using mediafiles::ReadAll;

FSSpec SpecFor(const std::string& path) {
    FSSpec spec{};
    toolbox::FSSpecFromPath(path, &spec);
    return spec;
}

FSRef RefFor(const std::string& path) {
    return FSSpec2FSRef(SpecFor(path));
}

std::string Name(const FSSpec& spec) {
    return std::string(toolbox::PascalView(spec.name));
}

void Script(const std::string& steps) {
    std::string error;
    ASSERT_TRUE(toolbox::UseScriptText(steps, error)) << error;
}

// Runs in a fresh folder that is the current folder for the test.
class InTempFolder : public testing::Test {
  protected:
    void SetUp() override {
        char* cwd = getcwd(nullptr, 0);
        saved_ = cwd;
        free(cwd);
        ASSERT_EQ(chdir(dir_.path().c_str()), 0);
    }
    void TearDown() override { ASSERT_EQ(chdir(saved_.c_str()), 0); }
    std::string Path(const std::string& name) const { return dir_ / name; }

    // A 16 x 12 PNG: red, green / blue, white quadrants.
    std::string MakePNG(const std::string& name) {
        const PixRec colours[4] = {
            {255, 255, 0, 0}, {255, 0, 255, 0}, {255, 0, 0, 255}, {255, 255, 255, 255}};
        PaddedBuffer quadrants(16, 12);
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 16; ++x)
                quadrants.At(x, y) = colours[(y >= 6) * 2 + (x >= 8)];
        std::string out = Path(name), error;
        EXPECT_TRUE(toolbox::WritePortPNG(quadrants.gw(), out, error)) << error;
        return out;
    }

    mediafiles::TempDir dir_;
    std::string saved_;
};

using FileChoosers = InTempFolder;
using ClassicFiles = InTempFolder;
using ImageLoading = InTempFolder;

// A type other than "****" offers only files of that type (how the chooser tells types apart
// is the toolbox's); escape chooses nothing.
TEST_F(FileChoosers, OpenOffersOnlyFilesOfTheTypeAndCancels) {
    for (const char* name : {"chosen.txt", "picture.png", "data.bin", "notes"})
        std::ofstream(Path(name)) << "x";
    const int failuresBefore = toolbox::ScriptFailures();
    FSSpec spec{};
    Script("expect text List 1 chosen.txt\ntype chosen.txt\nkey return\n");
    ASSERT_TRUE(EasyNavGetFile(PString("Pick one"), FourCC("TEXT"), FourCC("qvrl"), false, spec));
    EXPECT_EQ(toolbox::FSSpecToPath(spec), Path("chosen.txt"));
    Script("expect text List 1 chosen.txt, data.bin, notes, picture.png\ntype picture.png\nkey return\n");
    ASSERT_TRUE(EasyNavGetFile(PString("Pick one"), kAnyFileType, kAnyFileType, true, spec));
    EXPECT_EQ(Name(spec), "picture.png");
    EXPECT_EQ(toolbox::ScriptFailures(), failuresBefore);
    Script("key escape\n");
    EXPECT_FALSE(EasyNavGetFile(PString("Pick one"), FourCC("TEXT"), FourCC("qvrl"), false, spec));
}

TEST_F(FileChoosers, SaveTellsWhetherItReplacesAndCancels) {
    std::ofstream(Path("old.txt")) << "x";
    FSSpec spec{};
    Boolean replacing = false;
    Script("expect text Path 1 old.txt\nkey return\n");
    ASSERT_TRUE(EasyNavPutFile(PString("Save as"), PString("old.txt"), FourCC("TEXT"), FourCC("qvrl"), spec,
                               replacing));
    EXPECT_TRUE(replacing);
    EXPECT_EQ(toolbox::FSSpecToPath(spec), Path("old.txt"));

    Script("type fresh.txt\nkey return\n"); // the proposed name is selected: typing replaces it
    ASSERT_TRUE(EasyNavPutFile(PString("Save as"), PString("old.txt"), 0, 0, spec, replacing));
    EXPECT_FALSE(replacing);
    EXPECT_EQ(toolbox::FSSpecToPath(spec), Path("fresh.txt"));

    // A name longer than a FSSpec record holds is no choice rather than another file.
    Script("type " + std::string(70, 'n') + "\nkey return\n");
    EXPECT_FALSE(EasyNavPutFile(PString("Save as"), PString(""), 0, 0, spec, replacing));
}

TEST_F(FileChoosers, DescriptorListKeepsFourFilesAndCountsAll) {
    AEDescList list;
    ASSERT_EQ(AECreateList(nullptr, 0, false, &list), noErr);
    for (int i = 1; i <= 6; ++i) {
        FSSpec spec = SpecFor(Path("f" + std::to_string(i)));
        AEPutPtr(&list, 0, typeFSS, &spec, sizeof spec);
    }
    fileList files;
    ASSERT_EQ(AEDescListToFileList(list, files), noErr);
    EXPECT_EQ(files.count, 6);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(Name(files.spec[i]), "f" + std::to_string(i + 1));

    // An item that is no file stops the list with its error.
    AEPutPtr(&list, 3, FourCC("TEXT"), "abc", 3);
    EXPECT_EQ(AEDescListToFileList(list, files), errAECoercionFail);
    EXPECT_EQ(files.count, 2);
    AEDisposeDesc(&list);
}

TEST_F(ClassicFiles, RewriteWritesLinesEndingInReturn) {
    FSSpec spec = SpecFor(Path("log.txt"));
    std::ofstream(Path("log.txt")) << "old content that must go";
    SInt16 ref = 0;
    PSPRewrite(ref, spec, FourCC("TEXT"), FourCC("qvrl"));
    ASSERT_NE(ref, 0);
    FileWrite(ref, PString("a"));
    FileWriteln(ref, PString("bc"));
    std::string full(255, 'x');
    FileWriteln(ref, PString(std::string_view(full)));
    FileWriteln(ref, PString(""));
    FSClose(ref);
    EXPECT_EQ(ReadAll(Path("log.txt")), "abc\r" + std::string(254, 'x') + "\r\r");

    // A missing file gives no reference number; writing to it does nothing.
    SInt16 none = 0;
    PSPOpenFile(none, SpecFor(Path("missing")));
    EXPECT_EQ(none, 0);
    FileWrite(none, PString("lost"));
}

TEST_F(ClassicFiles, ConformanceByExtensionByTypeCodeAndForFolders) {
    std::ofstream(Path("photo.JPG")) << "x";
    FSSpec typed = SpecFor(Path("document"));
    FSpCreate(&typed, FourCC("qvrl"), FourCC("PDF "), smSystemScript);
    std::ofstream(Path("plain")) << "x";
    mkdir(Path("inner").c_str(), 0700);
    const struct {
        const char *file, *uti;
        bool conforms;
    } cases[] = {{"photo.JPG", "public.image", true},  {"photo.JPG", "public.png", false},
                 {"document", "com.adobe.pdf", true},  {"document", "public.image", false},
                 {"plain", "public.data", false},      {"inner", "public.folder", true},
                 {"missing.png", "public.item", false}};
    for (const auto& c : cases)
        EXPECT_EQ(bool(FileConformsTo(RefFor(Path(c.file)), PString(c.uti))), c.conforms)
            << c.file << " " << c.uti;
    EXPECT_TRUE(IsFileAFolder(RefFor(Path("inner"))));
    EXPECT_FALSE(IsFileAFolder(RefFor(Path("plain"))) || IsFileAFolder(RefFor(Path("missing.png"))));
    EXPECT_EQ(GetNameFromFSRef(RefFor(Path("missing.png"))).Length(), 0);
    EXPECT_EQ(std::string(FSRef2Str255(RefFor(Path("plain"))).View()), "file://" + Path("plain"));
}

// The pixel at (x, y) of a buffer as 0xRRGGBB.
SInt32 PixelAt(GWorldPtr gw, SInt16 x, SInt16 y) {
    return PixRec2LongInt(PixelOf(gw, x, y));
}

TEST_F(ImageLoading, ScaledBufferHoldsThePicturesTopLeftAtFullSize) {
    FSRef ref = RefFor(MakePNG("q.png"));
    EXPECT_EQ(GetScaledGWImageFromFSRef(ref, 1, -2), nullptr);
    GWorldPtr whole = GetScaledGWImageFromFSRef(ref, 1, 1);
    ASSERT_NE(whole, nullptr);
    EXPECT_EQ(std::vector<SInt32>({PixelAt(whole, 0, 0), PixelAt(whole, 15, 0), PixelAt(whole, 0, 11),
                                   PixelAt(whole, 15, 11)}),
              std::vector<SInt32>({0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF}));
    DisposeGWorld(whole);
    GWorldPtr quarter = GetScaledGWImageFromFSRef(ref, 2, 2);
    ASSERT_NE(quarter, nullptr);
    EXPECT_EQ(CarbonGetPortBounds(quarter).right, 8);
    EXPECT_EQ(CarbonGetPortBounds(quarter).bottom, 6);
    for (SInt16 y = 0; y < 6; ++y)
        for (SInt16 x = 0; x < 8; ++x)
            ASSERT_EQ(PixelAt(quarter, x, y), 0xFF0000) << x << "," << y;
    DisposeGWorld(quarter);
    // Scaled below one pixel, or no picture: no buffer, and the process goes on.
    EXPECT_EQ(GetScaledGWImageFromFSRef(ref, 17, 1), nullptr);
    EXPECT_EQ(GetScaledGWImageFromFSRef(RefFor(Path("missing.png")), 1, 1), nullptr);
}

TEST_F(ImageLoading, EveryRouteGivesTheSameImageAndMissingFilesGiveNil) {
    std::string path = MakePNG("q.png");
    FSSpec spec = SpecFor(path);
    FSRef ref = RefFor(path);
    CFURLRef url = CFURLCreateFromFSRef(nullptr, &ref);
    ASSERT_NE(url, nullptr);
    CGImageRef images[] = {GetCGImageFromFSS(spec), GetCGImageFromURLUsingQT(url),
                           GetCGImageFromURLUsingCG(url), GetCGImageFromFSRefUsingCG(ref),
                           GetCGImageFromFSSUsingCG(spec)};
    for (CGImageRef image : images) {
        ASSERT_NE(image, nullptr);
        ASSERT_EQ(CGImageGetWidth(image), 16u);
        EXPECT_EQ(0,
                  std::memcmp(toolbox::CGImagePixels(image), toolbox::CGImagePixels(images[0]), 16 * 12 * 4));
    }
    for (CGImageRef image : images)
        CGImageRelease(image);

    PString name;
    KillPicture(ReadPictureFromFSRef(ref, name));
    EXPECT_EQ(std::string(name.View()), "q.png");
    PicHandle picture = GetPICTFromURLUsingCG(url);
    ASSERT_NE(picture, nullptr);
    GWorldPtr gw = AllocateGWorld(16, 12);
    DrawPictureInGW(gw, picture, (**picture).picFrame);
    EXPECT_EQ(PixelAt(gw, 0, 0), 0xFF0000);
    EXPECT_EQ(PixelAt(gw, 15, 11), 0xFFFFFF);
    DisposeGWorld(gw);
    KillPicture(picture);
    CFRelease(url);

    EXPECT_EQ(GetCGImageFromFSS(SpecFor(Path("missing.png"))), nullptr);
    EXPECT_EQ(GetPICTFromURLUsingCG(nullptr), nullptr);
    EXPECT_EQ(ReadPictureFromFSRef(RefFor(Path("missing.png")), name), nullptr);
    EXPECT_EQ(LoadPictureFromBundle("no such image", "png"), nullptr);
    // LoadPictureFile asks for the file.
    Script("type " + path + "\nkey return\n");
    KillPicture(LoadPictureFile(name));
    EXPECT_EQ(std::string(name.View()), "q.png");
    Script("key escape\n");
    EXPECT_EQ(LoadPictureFile(name), nullptr);
    EXPECT_EQ(std::string(name.View()), "Dummy");
}

} // namespace

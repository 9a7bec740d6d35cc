// Bundles found through the loaded libraries, resource URLs, window descriptions that are
// checked on load, and documents opened through xdg-open.
#include "WindowSupport.h"

#include "toolbox/LaunchServices.h"

#include "MediaFiles.h"

#include <cstdlib>
#include <fstream>
#include <sys/stat.h>

namespace {

std::string PathOf(CFURLRef url) {
    UInt8 path[1024];
    return CFURLGetFileSystemRepresentation(url, true, path, sizeof path) ? reinterpret_cast<char*>(path)
                                                                          : "";
}

TEST(Bundles, ALoadedBundleIsFoundByItsIdentifierWithItsResources) {
    CFBundleRef bundle = windowtest::TestBundle();
    ASSERT_NE(bundle, nullptr);
    EXPECT_EQ(CFBundleGetBundleWithIdentifier(CFSTR("com.quorvel.none")), nullptr);
    CFURLRef url = CFBundleCopyResourceURL(bundle, CFSTR("dialogs"), CFSTR("json"), nullptr);
    ASSERT_NE(url, nullptr);
    std::string path = PathOf(url);
    const std::string tail = "TestDialogs.bundle/Contents/Resources/dialogs.json";
    ASSERT_GT(path.size(), tail.size());
    EXPECT_EQ(path.substr(path.size() - tail.size()), tail);
    CFRelease(url);
    EXPECT_EQ(CFBundleCopyResourceURL(bundle, CFSTR("manual"), CFSTR("pdf"), nullptr), nullptr);
    EXPECT_EQ(CFBundleCopyResourceURL(bundle, CFSTR("../Identifier"), nullptr, nullptr), nullptr);
    EXPECT_NE(CFBundleGetMainBundle(), nullptr);
}

TEST(URLs, FilePathsSurviveTheRoundTripAndOtherURLsAreNoPaths) {
    const mediafiles::TempDir dir;
    const std::string file = dir / "a b/100%.pdf";
    mkdir((dir / "a b").c_str(), 0700);
    std::ofstream(file) << "x";
    FSRef ref;
    ASSERT_EQ(toolbox::FSRefFromPath(file, &ref), noErr);
    CFURLRef url = CFURLCreateFromFSRef(nullptr, &ref);
    ASSERT_NE(url, nullptr);
    const std::string text = toolbox::CFStringToUtf8(CFURLGetString(url)), tail = "/a%20b/100%25.pdf";
    EXPECT_EQ(text.substr(0, 8), "file:///");
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
    EXPECT_EQ(PathOf(url), file);
    UInt8 tiny[4];
    EXPECT_FALSE(CFURLGetFileSystemRepresentation(url, true, tiny, sizeof tiny));
    CFRelease(url);
    CFURLRef web = CFURLCreateWithString(nullptr, CFSTR("https://example.org/x"), nullptr);
    EXPECT_EQ(PathOf(web), "");
    CFRelease(web);
    CFURLRef broken = CFURLCreateWithString(nullptr, CFSTR("file:///a%2"), nullptr);
    EXPECT_EQ(PathOf(broken), "");
    CFRelease(broken);
    EXPECT_EQ(CFURLCreateWithString(nullptr, nullptr, nullptr), nullptr);
}

TEST(Descriptions, FaultsAreNamedByFileWindowAndControl) {
    const std::string box = R"("bounds": {"left": 1, "top": 1, "width": 9, "height": 9})";
    auto with = [&](const std::string& control) {
        return R"({"windows": {"w": {"bounds": {"left": 0, "top": 0, "width": 50, "height": 40}, "controls": [
            {"signature": "Ok", "id": 1, "kind": "button", )" +
               box + "}" + control + "]}}}";
    };
    const std::pair<std::string, std::string> cases[] = {
        {with(""), ""},
        {with(R"(, {"signature": "Sldr", "id": 2, "kind": "knob", )" + box + "}"),
         "desc.json: window \"w\", control 2 (\"Sldr\" 2): unknown kind \"knob\""},
        {with(R"(, {"signature": "Ok", "id": 1, "kind": "static", )" + box + "}"),
         "control 2 (\"Ok\" 1): its signature and id are taken"},
        {with(R"(, {"signature": "Sldr", "id": 3, "kind": "slider"})"),
         "control 2 (\"Sldr\" 3): \"bounds\" is missing"},
        {with(R"(, {"signature": "Sldr", "id": 3, "kind": "slider", "value": 9, "maximum": 5, )" + box + "}"),
         "\"value\" must be a whole number from 0 to 5"},
        {with(R"(, {"signature": "Txt", "id": 3, "kind": "static", "colour": 1, )" + box + "}"),
         "unknown field \"colour\""},
        // An id nested far deeper than any stack could print.
        {with(R"(, {"signature": "Deep", "kind": "static", "id": )" + std::string(200000, '[') +
              std::string(200000, ']') + "}"),
         "control 2 (\"Deep\" ?): \"id\" must be a whole number"},
        {"{\"windows\": ", "desc.json: not valid JSON"},
        {R"({"windows": {"w": {"bounds": {"left": 0, "top": 0, "width": 0, "height": 40}}}})",
         "\"width\" must be a whole number from 1 to 4095"},
    };
    const std::string path = testing::TempDir() + "desc.json";
    for (const auto& [text, expected] : cases) {
        std::ofstream(path) << text;
        IBNibRef nib = nullptr;
        testing::internal::CaptureStderr();
        OSStatus err = toolbox::CreateNibReferenceFromFile(path, &nib);
        std::string message = testing::internal::GetCapturedStderr();
        DisposeNibReference(nib);
        EXPECT_EQ(err,
                  expected.empty() ? OSStatus(noErr) : OSStatus(kIBCarbonRuntimeObjectNotOfRequestedType))
            << message;
        if (expected.empty()) continue;
        const bool inAControl = text.find("\"controls\"") != std::string::npos;
        EXPECT_NE(message.find(inAControl ? "desc.json: window \"w\", " : "desc.json: "), std::string::npos)
            << message;
        EXPECT_NE(message.find(expected), std::string::npos) << message;
    }
    IBNibRef nib = nullptr;
    testing::internal::CaptureStderr();
    EXPECT_EQ(toolbox::CreateNibReferenceFromFile("/nonexistent.json", &nib),
              kIBCarbonRuntimeCantFindNibFile);
    testing::internal::GetCapturedStderr();
}

TEST(Descriptions, AWindowNeedsItsNameAndTheClassesItsControlsName) {
    CFBundleRef bundle = windowtest::TestBundle();
    IBNibRef nib = nullptr;
    ASSERT_EQ(CreateNibReferenceWithCFBundle(bundle, CFSTR("dialogs"), &nib), noErr);
    WindowRef w = nullptr;
    testing::internal::CaptureStderr();
    EXPECT_EQ(CreateWindowFromNib(nib, CFSTR("nowhere"), &w), kIBCarbonRuntimeCantFindObject);
    EXPECT_EQ(CreateWindowFromNib(nib, CFSTR("every"), &w), kIBCarbonRuntimeObjectNotOfRequestedType);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(w, nullptr);
    EXPECT_NE(err.find("control 11 (\"Cust\" 1): the class \"com.quorvel.test.box\" is not registered"),
              std::string::npos)
        << err;
    DisposeNibReference(nib);
    testing::internal::CaptureStderr();
    EXPECT_EQ(CreateNibReferenceWithCFBundle(bundle, CFSTR("missing"), &nib),
              kIBCarbonRuntimeCantFindNibFile);
    testing::internal::GetCapturedStderr();
}

// xdg-open stands in for itself: a script of that name first in PATH records its argument.
TEST(Launching, ADocumentGoesToXdgOpenAsAPathWithoutAShell) {
    const mediafiles::TempDir dir;
    const std::string oldPath = std::getenv("PATH");
    auto stub = [&](int status) {
        std::ofstream(dir / "xdg-open") << "#!/bin/sh\nprintf '%s' \"$1\" > '" << dir / "opened"
                                        << "'\nexit " << status << "\n";
        chmod((dir / "xdg-open").c_str(), 0700);
        setenv("PATH", (dir.path() + ":" + oldPath).c_str(), 1);
    };
    stub(0);
    CFURLRef url = CFURLCreateWithString(nullptr, CFSTR("file:///tmp/it's%20$(x)%20a.pdf"), nullptr);
    EXPECT_EQ(LSOpenCFURLRef(url, nullptr), noErr);
    EXPECT_EQ(mediafiles::ReadAll(dir / "opened"), "/tmp/it's $(x) a.pdf");
    stub(4);
    EXPECT_EQ(LSOpenCFURLRef(url, nullptr), 4);
    setenv("PATH", "/nonexistent", 1);
    EXPECT_EQ(LSOpenCFURLRef(url, nullptr), kLSApplicationNotFoundErr);
    EXPECT_EQ(LSOpenCFURLRef(nullptr, nullptr), paramErr);
    CFRelease(url);
    setenv("PATH", oldPath.c_str(), 1);
}

} // namespace

// Fuzz target: arbitrary bytes as a window description file. Opening it either refuses it
// with a message or accepts it; every window of an accepted description is then made and
// disposed of. Nothing may crash, hang or read outside the file.
#include "toolbox/InputSources.h"
#include "toolbox/MacWindows.h"
#include "toolbox/Nib.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

std::string gFile;
int gNull = -1;

// Refusals are reported on standard error; keep them off the fuzzer's output.
struct QuietStderr {
    int saved = dup(2);
    QuietStderr() { dup2(gNull, 2); }
    ~QuietStderr() {
        dup2(saved, 2);
        close(saved);
    }
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static char dir[] = "/tmp/umbrawash-fuzz-XXXXXX";
    if (!mkdtemp(dir)) std::abort();
    gFile = std::string(dir) + "/description.json";
    gNull = open("/dev/null", O_WRONLY);
    std::string error;
    if (gNull < 0 || !toolbox::UseScriptText("", error)) std::abort(); // headless windows
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FILE* f = std::fopen(gFile.c_str(), "wb");
    if (!f) std::abort();
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);

    QuietStderr quiet;
    IBNibRef nib = nullptr;
    if (toolbox::CreateNibReferenceFromFile(gFile, &nib) != noErr) {
        if (nib) std::abort(); // a refusal leaves no reference behind
        return 0;
    }
    // The description was accepted, so it parses: make each of its windows.
    nlohmann::json root = nlohmann::json::parse(data, data + size);
    for (auto& [name, window] : root["windows"].items()) {
        CFStringRef cfName = CFStringCreateWithCString(nullptr, name.c_str(), kCFStringEncodingUTF8);
        WindowRef w = nullptr;
        if (CreateWindowFromNib(nib, cfName, &w) == noErr) DisposeWindow(w);
        if (cfName) CFRelease(cfName);
    }
    DisposeNibReference(nib);
    return 0;
}

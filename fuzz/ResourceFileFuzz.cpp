// Fuzz target: arbitrary bytes as a resource file, opened and searched through the toolbox,
// then as the settings file read by ReadConfig. Nothing may crash or read outside the file.
#include "model/DataHandling.h"
#include "settings/prefsloader.h"

#include "toolbox/Folders.h"
#include "toolbox/Resources.h"
#include "toolbox/TextUtils.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

std::string gPrefsFile;

void WriteInput(const uint8_t* data, size_t size) {
    FILE* f = std::fopen(gPrefsFile.c_str(), "wb");
    if (!f) std::abort();
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static char dir[] = "/tmp/umbrawash-fuzz-XXXXXX";
    if (!mkdtemp(dir)) std::abort();
    setenv("XDG_CONFIG_HOME", dir, 1);
    gPrefsFile = std::string(dir) + "/zorlt-Prefs";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    WriteInput(data, size);
    FSSpec spec;
    if (toolbox::FSSpecFromPath(gPrefsFile, &spec) != noErr) std::abort();
    SInt16 ref = FSpOpenResFile(&spec, fsRdPerm);
    if (ref != -1) {
        for (ResType type : {FourCC("Pref"), FourCC("STR#")})
            for (SInt16 id : {SInt16(1), SInt16(128), SInt16(129), SInt16(130), SInt16(17000)})
                if (Handle h = Get1Resource(type, id)) (void)GetHandleSize(h);
        Str255 text;
        for (SInt16 index = 0; index <= 4; ++index)
            GetIndString(text, 128, index);
        CloseResFile(ref);
    }
    PluginDataRec config{};
    ResetConfig(&config, true);
    ReadConfig(&config);
    return 0;
}

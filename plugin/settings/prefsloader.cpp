// The saved configuration in the settings file.
//
// Each call opens the file, does its work and closes it again, and leaves the resource
// chain's current file as it found it. A save writes the whole file anew beside the old
// one and renames it over (the toolbox's UpdateResFile), so the file always holds either
// the old record or the new one; the new record is added before the old one is taken out,
// so no version of the file on disk ever lacks a record.
#include "settings/prefsloader.h"

#include "settings/configSave.h"

#include "toolbox/Folders.h"
#include "toolbox/Resources.h"
#include "toolbox/TextUtils.h"

#include <cstdio>
#include <string>

namespace {

typedef Handle ConfigSaveH; // holds the byte image of one ConfigSaveRec

constexpr ResType kPrefResType = FourCC("Pref");
constexpr SInt16 kPrefResID = 1;
constexpr OSType kSettingsCreator = FourCC("qvrl");
constexpr OSType kSettingsFileType = FourCC("Pref");
constexpr const char* kPrefResName = "Config Settings";
constexpr const char* kMiscText = "Config save for Quorvel iMovie plug-in";
constexpr UInt32 kConfigSaveSize = ConfigSaveSize(kBuildByteOrder);

// The settings file's FSSpec record; the error of the folder lookup or of FSMakeFSSpec
// (fnfErr when the folder is there and the file is not).
OSErr SettingsFileSpec(FSSpec& spec) {
    FSVolumeRefNum vRefNum = 0;
    SInt32 dirID = 0;
    OSErr err = FindFolder(kOnSystemDisk, kPreferencesFolderType, kDontCreateFolder, &vRefNum, &dirID);
    if (err != noErr) return err;
    Str255 name;
    CopyCStringToPascal(kSettingsFileName, name);
    return FSMakeFSSpec(vRefNum, dirID, name, &spec);
}

Boolean Config2Save(PluginDataPtr theConfig, ConfigSaveH theSaveConfig) {
    if (!theConfig || !theSaveConfig || GetHandleSize(theSaveConfig) < Size(kConfigSaveSize)) return false;
    ConfigSaveRec rec{};
    rec.sizeInBytes = kConfigSaveSize;
    rec.version = kConfigSaveVersion;
    rec.startRel = theConfig->startRel;
    rec.endRel = theConfig->endRel;
    for (int i = 1; i <= kNumColors; ++i)
        rec.colors[i] = theConfig->colors[i];
    for (int i = 1; i <= kNumSliders; ++i)
        rec.sliders[i] = theConfig->sliders[i];
    rec.frameStartColor = theConfig->frameStartColor;
    rec.frameEndColor = theConfig->frameEndColor;
    rec.mediaType = theConfig->mediaType;
    rec.keepProps = theConfig->keepProps;
    rec.method = theConfig->method;
    CopyCStringToPascal(kMiscText, rec.miscString);
    PutConfigSave(rec, kBuildByteOrder, reinterpret_cast<UInt8*>(*theSaveConfig));
    return true;
}

Boolean Save2Config(PluginDataPtr theConfig, ConfigSaveH theSaveConfig) {
    ConfigSaveRec rec{};
    if (!theConfig || !theSaveConfig || GetHandleSize(theSaveConfig) < Size(kConfigSaveSize)) return false;
    if (!GetConfigSave(reinterpret_cast<const UInt8*>(*theSaveConfig), size_t(GetHandleSize(theSaveConfig)),
                       kBuildByteOrder, rec))
        return false;
    if (rec.sizeInBytes != kConfigSaveSize || rec.version != kConfigSaveVersion) return false;
    theConfig->startRel = rec.startRel;
    theConfig->endRel = rec.endRel;
    for (int i = 1; i <= kNumColors; ++i)
        theConfig->colors[i] = rec.colors[i];
    for (int i = 1; i <= kNumSliders; ++i)
        theConfig->sliders[i] = rec.sliders[i];
    theConfig->frameStartColor = rec.frameStartColor;
    theConfig->frameEndColor = rec.frameEndColor;
    theConfig->mediaType = rec.mediaType;
    theConfig->keepProps = rec.keepProps;
    theConfig->method = rec.method;
    return true;
}

// A file that is not a readable resource file would make every save fail: move it aside
// (beside it, under a name that says why) so that a fresh one can be made. Nothing is
// overwritten: the first free name of "zorlt-Prefs.unreadable", "...unreadable-2", ... is used.
bool MoveUnreadableAside(const FSSpec& spec) {
    std::string path = toolbox::FSSpecToPath(spec);
    for (int n = 1; n <= 99; ++n) {
        std::string aside = path + ".unreadable" + (n == 1 ? std::string() : "-" + std::to_string(n));
        FSSpec asideSpec;
        if (toolbox::FSSpecFromPath(aside, &asideSpec) != fnfErr) continue;
        return std::rename(path.c_str(), aside.c_str()) == 0;
    }
    return false;
}

// Opens the settings file for writing, replacing a malformed one by a fresh file; -1 on failure.
SInt16 OpenForSaving(const FSSpec& spec) {
    SInt16 refNum = FSpOpenResFile(&spec, fsRdWrPerm);
    if (refNum != -1 || ResError() != mapReadErr) return ResError() == noErr ? refNum : SInt16(-1);
    if (!MoveUnreadableAside(spec)) return -1;
    FSpCreateResFile(&spec, kSettingsCreator, kSettingsFileType, smSystemScript);
    if (ResError() != noErr && ResError() != dupFNErr) return -1;
    refNum = FSpOpenResFile(&spec, fsRdWrPerm);
    return ResError() == noErr ? refNum : SInt16(-1);
}

Boolean SaveInto(SInt16 refNum, PluginDataPtr theConfig) {
    Handle old = Get1Resource(kPrefResType, kPrefResID);
    ConfigSaveH theSaveConfig = NewHandleClear(Size(kConfigSaveSize));
    if (!theSaveConfig || !Config2Save(theConfig, theSaveConfig)) {
        if (theSaveConfig) DisposeHandle(theSaveConfig);
        return false;
    }
    Str255 name;
    CopyCStringToPascal(kPrefResName, name);
    AddResource(theSaveConfig, kPrefResType, kPrefResID, name);
    if (ResError() != noErr) {
        DisposeHandle(theSaveConfig);
        return false;
    }
    if (old) {
        RemoveResource(old);
        DisposeHandle(old);
    }
    UpdateResFile(refNum);
    OSErr err = ResError();
    ReleaseResource(theSaveConfig);
    return err == noErr;
}

} // namespace

void CreateSettingsFile() {
    FSSpec spec;
    if (SettingsFileSpec(spec) != fnfErr) return;
    SInt16 previous = CurResFile();
    FSpCreateResFile(&spec, kSettingsCreator, kSettingsFileType, smSystemScript);
    UseResFile(previous);
}

Boolean ReadConfig(PluginDataPtr theConfig) {
    if (!theConfig) return false;
    FSSpec spec;
    if (SettingsFileSpec(spec) != noErr) return false;
    SInt16 previous = CurResFile();
    SInt16 refNum = FSpOpenResFile(&spec, fsRdPerm);
    if (refNum == -1 || ResError() != noErr) return false;
    ConfigSaveH theSaveConfig = Get1Resource(kPrefResType, kPrefResID);
    if (theSaveConfig) DetachResource(theSaveConfig);
    CloseResFile(refNum);
    UseResFile(previous);
    if (!theSaveConfig) return false;
    Boolean accepted = Save2Config(theConfig, theSaveConfig);
    DisposeHandle(theSaveConfig);
    return accepted;
}

Boolean SaveConfig(PluginDataPtr theConfig) {
    if (!theConfig) return false;
    FSSpec spec;
    if (SettingsFileSpec(spec) != noErr) return false;
    SInt16 previous = CurResFile();
    SInt16 refNum = OpenForSaving(spec);
    if (refNum == -1) {
        UseResFile(previous);
        return false;
    }
    Boolean saved = SaveInto(refNum, theConfig);
    CloseResFile(refNum);
    if (ResError() != noErr) saved = false;
    UseResFile(previous);
    return saved;
}

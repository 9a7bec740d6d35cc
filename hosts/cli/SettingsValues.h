// The effect's settings as the commands read and show them: the flags for the amounts and
// the rectangle that `settings set` and `render` share, the saved record's file, and the
// record as JSON.
#pragma once

#include "CommandLine.h"

#include "model/PluginDefines.h"

#include <nlohmann/json.hpp>

#include <optional>
#include <string>

namespace cli {

// Changes to the record, each one checked.
struct SettingsChange {
    std::optional<SInt16> amounts[3]; // red, green, blue in percent
    std::optional<RelRect> rect;
    std::optional<SInt16> mediaType;
    std::optional<Boolean> keepProps;

    bool Empty() const;
};

// The flags of a change among the parsed arguments: --red, --green, --blue, --rect,
// --standard, --keep-proportions. On the first bad value returns nothing and names the flag in error.
std::optional<SettingsChange> ReadSettingsChange(const ParsedArgs& args, std::string& error);
void ApplySettingsChange(const SettingsChange& change, PluginDataRec& config);

// The commands reach the configuration's defaults and the saved configuration only through
// these three, which call the plug-in's own functions for them (ResetConfig and those of
// settings/prefsloader.h), so that the file they write is exactly the file the plug-in writes.
//
// The defaults, as they are in a fresh record of the plug-in's.
PluginDataRec DefaultSettings();
// The saved configuration over the defaults, as the plug-in loads it at start; false
// (and the defaults) when the settings file holds no record this build reads. The file is
// only read.
bool LoadSavedSettings(PluginDataRec& config);
// Stores config as the saved record, making the settings file first when there is none;
// false when the record did not reach the disk.
bool StoreSettings(PluginDataRec& config);

// The settings file of the preferences folder, or nothing when there is no such folder.
std::optional<std::string> SettingsFilePath();

// The name of a video standard: ntsc, pal, hd or "unknown (N)".
std::string StandardName(SInt16 mediaType);
// The shortest text that reads back as the same double.
std::string NumberText(double value);

// Every stored field of the record.
nlohmann::ordered_json SettingsJson(const PluginDataRec& config);

} // namespace cli

// The saved configuration: one record, resource "Pref" 1 "Config Settings", in the
// settings file "zorlt-Prefs" of the preferences folder.
#pragma once

#include "model/PluginDefines.h"

// Makes sure the settings file exists; an existing file is left as it is.
void CreateSettingsFile();
// Reads the saved record over theConfig; false, with theConfig untouched, when there is
// no record of this build's size and version (or no readable file).
Boolean ReadConfig(PluginDataPtr theConfig);
// Stores theConfig as the saved record; true only when the record reached the disk.
Boolean SaveConfig(PluginDataPtr theConfig);

constexpr const char* kSettingsFileName = "zorlt-Prefs";

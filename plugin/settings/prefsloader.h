// The saved configuration: one record in the settings file of the preferences folder.
#pragma once

#include "model/PluginDefines.h"

void CreateSettingsFile();
Boolean ReadConfig(PluginDataPtr theConfig);
Boolean SaveConfig(PluginDataPtr theConfig);

#include "settings/prefsloader.h"

// The settings file is not kept yet: reading finds nothing and saving stores nothing.
void CreateSettingsFile() {}

Boolean ReadConfig(PluginDataPtr) {
    return false;
}

Boolean SaveConfig(PluginDataPtr) {
    return false;
}

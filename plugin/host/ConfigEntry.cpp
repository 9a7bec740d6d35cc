#include "host/ConfigEntry.h"

// The configuration dialog is not built yet; the button does nothing.
HYPluginResult CustomButton(short, HYPluginParams*) {
    return kPluginOK;
}

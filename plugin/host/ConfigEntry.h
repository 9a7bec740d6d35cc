// The host's custom button: opens the configuration dialog.
#pragma once

#include "HYPlugin.h"

HYPluginResult CustomButton(short which, HYPluginParams* params);

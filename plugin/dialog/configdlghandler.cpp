#include "dialog/configdlghandler.h"

PluginWorkSpace gConfigWorkSpace;
PluginDataPtr gTheConfig;

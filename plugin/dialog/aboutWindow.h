// The about window: the plug-in's name and version in a small modal window, closed by its
// commands "ok  " and "not!".
#pragma once

#include "toolbox/CarbonEvents.h"

void ShowAbout();
OSStatus AboutDialogHandler(EventHandlerCallRef myHandler, EventRef theEvent, void* userData);

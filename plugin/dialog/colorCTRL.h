// The colour box: a custom control class showing its value as a framed swatch; a click
// opens the colour picker and a chosen colour becomes the value. The value is the colour
// packed as 0x00RRGGBB.
#pragma once

#include "toolbox/CarbonEvents.h"
#include "toolbox/MacTypes.h"

// Class identifier the window descriptions name for colour boxes.
#define kColorBoxClassID "com.quorvel.vantrel.color"

void RegisterColorBox();
void UnregisterColorBox();
OSStatus ColorBoxControlHandler(EventHandlerCallRef myHandler, EventRef theEvent, void* userData);
void ColorBoxDraw(Rect theRect, RGBColor theColor);
// Runs the picker from inColor; true with outColor set when a new colour was chosen.
Boolean UseColorPicker(Point where, ConstStr255Param prompt, RGBColor inColor, RGBColor& outColor);

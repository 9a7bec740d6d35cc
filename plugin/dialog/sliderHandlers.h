// The dialog's sliders: six effect amounts and the clip position, all live, and the two
// preview refreshes the whole dialog uses.
#pragma once

#include "toolbox/Controls.h"
#include "toolbox/MacWindows.h"

// The clip position's text, "position/last".
void SetClipText(SInt32 position);
void ReRenderAndBlit();
void AccessRenderAndBlit(SInt32 theVal);
void ClipSliderAction(ControlRef theControl, ControlPartCode thePart);
void Slider1Action(ControlRef theControl, ControlPartCode thePart);
void Slider2Action(ControlRef theControl, ControlPartCode thePart);
void Slider3Action(ControlRef theControl, ControlPartCode thePart);
void Slider4Action(ControlRef theControl, ControlPartCode thePart);
void Slider5Action(ControlRef theControl, ControlPartCode thePart);
void Slider6Action(ControlRef theControl, ControlPartCode thePart);
void SetupSliders(WindowRef theWindow);
void KillSliders();

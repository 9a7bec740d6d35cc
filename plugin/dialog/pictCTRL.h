// The picture control: a custom control class showing an image inside a white,
// black-framed box, fitted with its proportions kept and centred.
//
// The control's 32-bit value names the image: 0 is none, and PictureValueForImage gives the
// value for an image (a pointer does not fit in 32 bits on every build). The control never
// retains or releases the image; whoever sets the value keeps the image alive while the
// control shows it. The values are forgotten when the class is unregistered.
#pragma once

#include "toolbox/CarbonEvents.h"
#include "toolbox/Quartz.h"

// Class identifier the window descriptions name for picture controls.
#define kPictureControlClassID "com.quorvel.vantrel.imageCTRL"

void RegisterPictureControl();
void UnregisterPictureControl();
OSStatus PictureControlHandler(EventHandlerCallRef myHandler, EventRef theEvent, void* userData);
void PictureBoxDraw(Rect theRect);

SInt32 PictureValueForImage(CGImageRef theImage); // 0 for no image
CGImageRef PictureImageForValue(SInt32 theValue); // NULL for 0 or a value not handed out

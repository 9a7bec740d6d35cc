/* Opening documents with the user's default application: xdg-open, started without a
 * shell. The status is that of xdg-open (its exit status when it fails to open the
 * document, kLSApplicationNotFoundErr when it cannot be started). */
#pragma once

#include "toolbox/CFBundle.h"

enum { kLSApplicationNotFoundErr = -10814, kLSLaunchFailedErr = -10810 };

TB_EXTERN_C_BEGIN

OSStatus LSOpenCFURLRef(CFURLRef inURL, CFURLRef* outLaunchedURL);

TB_EXTERN_C_END

// Failure reporting: stop alerts that end the process, and warnings that let it go on.
// Texts are short strings (Mac Roman); the overloads taking C strings convert them.
#pragma once

#include "toolbox/MacTypes.h"

SInt16 StandardWarning(ConstStr255Param headline, ConstStr255Param description, ConstStr255Param okText,
                       ConstStr255Param cancelText);
void StandardStop(ConstStr255Param headline, ConstStr255Param description);
[[noreturn]] void Terminate(ConstStr255Param headline, ConstStr255Param description);
void Assert(const void* thePtr, ConstStr255Param failLocation);
void Notify(ConstStr255Param theMessage);

[[noreturn]] void Terminate(const char* headline, const char* description);
void Assert(const void* thePtr, const char* failLocation);
void Notify(const char* theMessage);

#include "ToolboxState.h"

#include "corefoundation/CFObject.h"

namespace toolbox {

ToolboxState gToolbox;
thread_local OSErr gMemError = noErr;

} // namespace toolbox

// Host-side callbacks that every host shares: memory through the toolbox (so GetPtrSize
// works on every block a plug-in is given), the string helpers, and a table whose
// callbacks a host has not implemented answer kPluginUnimplemented.
#pragma once

#include "HYPlugin.h"

namespace hosts {

// A table with the shared callbacks set and every other entry answering kPluginUnimplemented.
HYProcs MakeDefaultProcs();

// A parameter block as a host hands it to the plug-in: zeroed, with the interface version
// and the callback table set.
HYPluginParams MakeParams(HYProcs* procs, void* instance, HYPluginSelector selector);

// Interface version that this project's hosts speak.
constexpr SInt16 kHostInterfaceVersion = 4;

} // namespace hosts

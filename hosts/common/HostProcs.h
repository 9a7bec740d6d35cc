// Host-side callbacks that every host shares: memory through the toolbox, the string
// helpers, and a table whose callbacks a host has not implemented answer
// kPluginUnimplemented.
#pragma once

#include "HYPlugin.h"

#include <map>
#include <string>

namespace hosts {

// A table with the shared callbacks set and every other entry answering kPluginUnimplemented.
HYProcs MakeDefaultProcs();

// A parameter block as a host hands it to the plug-in: zeroed, with the interface version
// and the callback table set.
HYPluginParams MakeParams(HYProcs* procs, void* instance, HYPluginSelector selector);

// The name and number of a plug-in result, such as "kPluginCantGetNeededFrame (7)".
std::string DescribeResult(int result);

// The blocks a plug-in holds: handed out by NewPtr/NewPtrClear and not yet disposed of.
// DisposePtr of a block the ledger does not know is counted and not freed.
struct BlockLedger {
    std::map<const void*, long> live; // block -> size in bytes
    long handedOut = 0;
    long strayDisposals = 0;
};

// Makes the memory callbacks of the tables from MakeDefaultProcs record into ledger, or stop
// recording (null). The memory callbacks carry no instance, so the ledger is the unit's one
// piece of state; a host sets it for the time the plug-in is loaded, from its one thread.
void TrackBlocks(BlockLedger* ledger);

// Interface version that this project's hosts speak.
constexpr SInt16 kHostInterfaceVersion = 4;

} // namespace hosts

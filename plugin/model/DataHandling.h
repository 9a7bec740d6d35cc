// The configuration record's life: size, defaults, copies and release, and the rectangle
// the configuration dialog edits.
#pragma once

#include "model/PluginDefines.h"

void pGetConfigSize(UInt32& theSize);
void InitPluginData(PluginDataPtr theConfig);
void ResetConfig(PluginDataPtr theConfig, Boolean fullInit);
void pNewConfig(PluginDataPtr& theData);
void pCopyConfig(PluginDataPtr source, PluginDataPtr dest);
void pUncopyConfig(PluginDataPtr theData);
void pDestroyConfig(PluginDataPtr aConfig);

RelRect GetCurrentRel();
void PutCurrentRel(const RelRect& theRel);

/* Memory: non-relocatable blocks (Ptr) that know their size, and handles (Handle) that
 * hold one such block behind a master pointer. The library lists the blocks and handles it
 * handed out, so GetPtrSize and the disposals work on those; any other pointer (a block a
 * host allocated itself, say) is never read: GetPtrSize answers 0 with memWZErr for it, and
 * DisposePtr and DisposeHandle leave it alone. */
#pragma once

#include "toolbox/MacTypes.h"

TB_EXTERN_C_BEGIN

Ptr NewPtr(Size byteCount);
Ptr NewPtrClear(Size byteCount);
void DisposePtr(Ptr p);
Size GetPtrSize(Ptr p);

Handle NewHandle(Size byteCount);
Handle NewHandleClear(Size byteCount);
void DisposeHandle(Handle h);
Size GetHandleSize(Handle h);

/* Copies byteCount bytes; the areas may overlap. Nothing happens for a count of 0 or less. */
void BlockMoveData(const void* srcPtr, void* destPtr, Size byteCount);

/* Result of the last memory call on this thread. */
OSErr MemError(void);

TB_EXTERN_C_END

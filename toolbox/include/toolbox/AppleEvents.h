/* Apple Event descriptor lists, as far as file choosers hand back their selection: a list of
 * file items (FSSpec records or file references), read back by index (1-based) and
 * coerced between the two kinds. */
#pragma once

#include "toolbox/Files.h"

typedef FourCharCode DescType;
typedef FourCharCode AEKeyword;
typedef struct AEDescData* AEDataStorage;
typedef struct AEDesc {
    DescType descriptorType;
    AEDataStorage dataHandle;
} AEDesc;
typedef AEDesc AEDescList;

#define typeFSS ((DescType)0x66737320)      /* 'fss ' */
#define typeFSRef ((DescType)0x66737266)    /* 'fsrf' */
#define typeAEList ((DescType)0x6C697374)   /* 'list' */
#define typeNull ((DescType)0x6E756C6C)     /* 'null' */
#define typeWildCard ((DescType)0x2A2A2A2A) /* '****' */
enum {
    errAECoercionFail = -1700,
    errAEDescNotFound = -1701,
    errAEWrongDataType = -1703,
    errAEIllegalIndex = -1719
};

TB_EXTERN_C_BEGIN

OSErr AECreateList(const void* factoringPtr, Size factoredSize, Boolean isRecord, AEDescList* resultList);
/* index 0 (or one past the end) appends. */
OSErr AEPutPtr(AEDescList* theAEDescList, long index, DescType typeCode, const void* dataPtr, Size dataSize);
OSErr AECountItems(const AEDescList* theAEDescList, long* theCount);
/* Copies at most maximumSize bytes of item index as desiredType; *actualSize is its size. */
OSErr AEGetNthPtr(const AEDescList* theAEDescList, long index, DescType desiredType, AEKeyword* theAEKeyword,
                  DescType* typeCode, void* dataPtr, Size maximumSize, Size* actualSize);
OSErr AEDisposeDesc(AEDesc* theAEDesc);

TB_EXTERN_C_END

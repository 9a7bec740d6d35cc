// Descriptor lists of file items: each item keeps its kind and bytes; FSSpec records
// and file references convert into each other when an item is asked for as the other kind.
#include "toolbox/AppleEvents.h"

#include <algorithm>
#include <cstring>
#include <vector>

struct AEDescData {
    struct Item {
        DescType type;
        std::vector<UInt8> bytes;
    };
    std::vector<Item> items;
};

namespace {

AEDescData* ListOf(const AEDescList* list) {
    return list && list->descriptorType == typeAEList ? list->dataHandle : nullptr;
}

// The item as desiredType; false when it cannot be converted.
bool Coerce(const AEDescData::Item& item, DescType desiredType, std::vector<UInt8>& out) {
    if (desiredType == item.type || desiredType == typeWildCard) {
        out = item.bytes;
        return true;
    }
    if (item.type == typeFSRef && desiredType == typeFSS && item.bytes.size() == sizeof(FSRef)) {
        FSRef ref;
        FSSpec spec;
        std::memcpy(&ref, item.bytes.data(), sizeof ref);
        if (FSGetCatalogInfo(&ref, kFSCatInfoNone, nullptr, nullptr, &spec, nullptr) != noErr) return false;
        out.assign(reinterpret_cast<UInt8*>(&spec), reinterpret_cast<UInt8*>(&spec) + sizeof spec);
        return true;
    }
    if (item.type == typeFSS && desiredType == typeFSRef && item.bytes.size() == sizeof(FSSpec)) {
        FSSpec spec;
        FSRef ref;
        std::memcpy(&spec, item.bytes.data(), sizeof spec);
        if (FSpMakeFSRef(&spec, &ref) != noErr) return false;
        out.assign(reinterpret_cast<UInt8*>(&ref), reinterpret_cast<UInt8*>(&ref) + sizeof ref);
        return true;
    }
    return false;
}

} // namespace

extern "C" {

OSErr AECreateList(const void*, Size, Boolean isRecord, AEDescList* resultList) {
    if (!resultList) return paramErr;
    resultList->descriptorType = typeNull;
    resultList->dataHandle = nullptr;
    if (isRecord) return paramErr;
    resultList->descriptorType = typeAEList;
    resultList->dataHandle = new AEDescData;
    return noErr;
}

OSErr AEPutPtr(AEDescList* theAEDescList, long index, DescType typeCode, const void* dataPtr, Size dataSize) {
    AEDescData* list = ListOf(theAEDescList);
    if (!list || dataSize < 0 || (dataSize > 0 && !dataPtr)) return paramErr;
    const auto* bytes = static_cast<const UInt8*>(dataPtr);
    AEDescData::Item item{typeCode, std::vector<UInt8>(bytes, bytes + dataSize)};
    long count = long(list->items.size());
    if (index == 0 || index == count + 1)
        list->items.push_back(std::move(item));
    else if (index >= 1 && index <= count)
        list->items[size_t(index - 1)] = std::move(item);
    else
        return errAEIllegalIndex;
    return noErr;
}

OSErr AECountItems(const AEDescList* theAEDescList, long* theCount) {
    if (!theCount) return paramErr;
    *theCount = 0;
    AEDescData* list = ListOf(theAEDescList);
    if (!list) return errAEWrongDataType;
    *theCount = long(list->items.size());
    return noErr;
}

OSErr AEGetNthPtr(const AEDescList* theAEDescList, long index, DescType desiredType, AEKeyword* theAEKeyword,
                  DescType* typeCode, void* dataPtr, Size maximumSize, Size* actualSize) {
    if (theAEKeyword) *theAEKeyword = 0;
    if (actualSize) *actualSize = 0;
    AEDescData* list = ListOf(theAEDescList);
    if (!list) return errAEWrongDataType;
    if (index < 1 || index > long(list->items.size())) return errAEIllegalIndex;
    std::vector<UInt8> bytes;
    if (!Coerce(list->items[size_t(index - 1)], desiredType, bytes)) return errAECoercionFail;
    if (typeCode) *typeCode = desiredType == typeWildCard ? list->items[size_t(index - 1)].type : desiredType;
    if (actualSize) *actualSize = Size(bytes.size());
    if (dataPtr && maximumSize > 0)
        std::memcpy(dataPtr, bytes.data(), std::min(size_t(maximumSize), bytes.size()));
    return noErr;
}

OSErr AEDisposeDesc(AEDesc* theAEDesc) {
    if (!theAEDesc) return paramErr;
    if (theAEDesc->descriptorType == typeAEList) delete theAEDesc->dataHandle;
    theAEDesc->descriptorType = typeNull;
    theAEDesc->dataHandle = nullptr;
    return noErr;
}

} // extern "C"

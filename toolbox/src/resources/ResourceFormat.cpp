// Reading and writing the classic resource-file format. All structure fields are big-endian.
//
//   header (16): data offset, map offset, data length, map length        (4 bytes each)
//   data: entries of a 4-byte length and the bytes
//   map:  copy of the header (16), handle (4), file number (2), attributes (2),
//         type list offset (2), name list offset (2)                     both from the map's start
//         type list: count - 1 (2), then per type: type (4), count - 1 (2), reference list
//                    offset (2) from the type list's start
//         reference lists: id (2), name offset (2) from the name list's start or 0xFFFF,
//                    attributes (1), data offset (3) from the data's start, handle (4)
//         name list: short strings
#include "ResourceFormat.h"

#include <algorithm>
#include <map>

namespace toolbox {

namespace {

// A bounds-checked window on the file: every read outside it fails instead of reading.
class Reader {
  public:
    explicit Reader(std::span<const UInt8> bytes) : bytes_(bytes) {}
    bool Has(size_t offset, size_t count) const {
        return offset <= bytes_.size() && count <= bytes_.size() - offset;
    }
    std::optional<UInt32> U32(size_t at) const {
        if (!Has(at, 4)) return std::nullopt;
        return UInt32(bytes_[at]) << 24 | UInt32(bytes_[at + 1]) << 16 | UInt32(bytes_[at + 2]) << 8 |
               bytes_[at + 3];
    }
    std::optional<UInt32> U24(size_t at) const {
        if (!Has(at, 3)) return std::nullopt;
        return UInt32(bytes_[at]) << 16 | UInt32(bytes_[at + 1]) << 8 | bytes_[at + 2];
    }
    std::optional<UInt16> U16(size_t at) const {
        if (!Has(at, 2)) return std::nullopt;
        return UInt16(bytes_[at] << 8 | bytes_[at + 1]);
    }
    std::optional<UInt8> U8(size_t at) const {
        if (!Has(at, 1)) return std::nullopt;
        return bytes_[at];
    }
    std::span<const UInt8> Sub(size_t at, size_t count) const { return bytes_.subspan(at, count); }

  private:
    std::span<const UInt8> bytes_;
};

void PutU32(std::vector<UInt8>& out, size_t at, UInt32 v) {
    out[at] = UInt8(v >> 24);
    out[at + 1] = UInt8(v >> 16);
    out[at + 2] = UInt8(v >> 8);
    out[at + 3] = UInt8(v);
}
void PutU24(std::vector<UInt8>& out, size_t at, UInt32 v) {
    out[at] = UInt8(v >> 16);
    out[at + 1] = UInt8(v >> 8);
    out[at + 2] = UInt8(v);
}
void PutU16(std::vector<UInt8>& out, size_t at, UInt16 v) {
    out[at] = UInt8(v >> 8);
    out[at + 1] = UInt8(v);
}

// One reference entry of the map, read into entry; false when anything lies outside.
bool ReadReference(const Reader& map, const Reader& data, const Reader& names, size_t at, ResType type,
                   ResourceEntry& entry) {
    auto id = map.U16(at);
    auto nameOffset = map.U16(at + 2);
    auto attributes = map.U8(at + 4);
    auto dataOffset = map.U24(at + 5);
    if (!id || !nameOffset || !attributes || !dataOffset) return false;
    entry.type = type;
    entry.id = SInt16(*id);
    entry.attributes = *attributes;
    auto length = data.U32(*dataOffset);
    if (!length || !data.Has(size_t(*dataOffset) + 4, *length)) return false;
    auto bytes = data.Sub(size_t(*dataOffset) + 4, *length);
    entry.data.assign(bytes.begin(), bytes.end());
    if (*nameOffset != 0xFFFF) {
        auto nameLength = names.U8(*nameOffset);
        if (!nameLength || !names.Has(size_t(*nameOffset) + 1, *nameLength)) return false;
        auto nameBytes = names.Sub(size_t(*nameOffset) + 1, *nameLength);
        entry.name = std::string(nameBytes.begin(), nameBytes.end());
    }
    return true;
}

} // namespace

std::optional<ResourceMap> ParseResourceFile(std::span<const UInt8> file) {
    Reader whole(file);
    auto dataOffset = whole.U32(0), mapOffset = whole.U32(4), dataLength = whole.U32(8),
         mapLength = whole.U32(12);
    if (!dataOffset || !mapOffset || !dataLength || !mapLength) return std::nullopt;
    if (!whole.Has(*dataOffset, *dataLength) || !whole.Has(*mapOffset, *mapLength)) return std::nullopt;
    if (*mapLength < kResMapHeadSize + 2) return std::nullopt;

    Reader data(whole.Sub(*dataOffset, *dataLength));
    Reader map(whole.Sub(*mapOffset, *mapLength));
    ResourceMap result;
    auto attributes = map.U16(22), typeListOffset = map.U16(24), nameListOffset = map.U16(26);
    if (!attributes || !typeListOffset || !nameListOffset) return std::nullopt;
    result.attributes = *attributes;
    if (*nameListOffset > *mapLength) return std::nullopt;
    Reader names(whole.Sub(*mapOffset + *nameListOffset, *mapLength - *nameListOffset));

    auto typeCountLess1 = map.U16(*typeListOffset);
    if (!typeCountLess1) return std::nullopt;
    size_t typeCount = *typeCountLess1 == 0xFFFF ? 0 : size_t(*typeCountLess1) + 1;
    // In a well-formed file every reference has bytes of its own in the map and every entry
    // data of its own; holding a file to that keeps a small file from describing millions of
    // entries or gigabytes of data by pointing many references at the same bytes.
    size_t maxEntries = *mapLength / kResRefEntrySize;
    size_t dataBytes = 0;
    for (size_t t = 0; t < typeCount; ++t) {
        size_t typeAt = size_t(*typeListOffset) + 2 + t * kResTypeEntrySize;
        auto type = map.U32(typeAt);
        auto countLess1 = map.U16(typeAt + 4), refListOffset = map.U16(typeAt + 6);
        if (!type || !countLess1 || !refListOffset) return std::nullopt;
        size_t refCount = size_t(*countLess1) + 1;
        size_t refsAt = size_t(*typeListOffset) + *refListOffset;
        if (!map.Has(refsAt, refCount * kResRefEntrySize)) return std::nullopt;
        if (refCount > maxEntries - result.entries.size()) return std::nullopt;
        for (size_t r = 0; r < refCount; ++r) {
            ResourceEntry entry;
            if (!ReadReference(map, data, names, refsAt + r * kResRefEntrySize, *type, entry))
                return std::nullopt;
            dataBytes += 4 + entry.data.size();
            if (dataBytes > *dataLength) return std::nullopt;
            result.entries.push_back(std::move(entry));
        }
    }
    return result;
}

std::optional<std::vector<UInt8>> BuildResourceFileFrom(const ResourceMap& map,
                                                        const std::vector<std::span<const UInt8>>& data) {
    // Types in order of first appearance, each with its entries in order.
    std::vector<ResType> types;
    std::map<ResType, std::vector<size_t>> byType;
    for (size_t i = 0; i < map.entries.size(); ++i) {
        ResType type = map.entries[i].type;
        if (!byType.count(type)) types.push_back(type);
        byType[type].push_back(i);
    }
    if (types.size() > 0x10000) return std::nullopt;

    // Data section, with each entry's offset.
    std::vector<UInt32> dataOffsetOf(map.entries.size());
    size_t dataLength = 0;
    for (size_t i = 0; i < map.entries.size(); ++i) {
        if (dataLength > 0xFFFFFF || data[i].size() > 0xFFFFFFFFu) return std::nullopt;
        dataOffsetOf[i] = UInt32(dataLength);
        dataLength += 4 + data[i].size();
    }
    // Name list, with each entry's offset.
    std::vector<UInt16> nameOffsetOf(map.entries.size(), 0xFFFF);
    size_t nameListLength = 0;
    for (size_t i = 0; i < map.entries.size(); ++i) {
        if (!map.entries[i].name) continue;
        if (nameListLength >= 0xFFFF) return std::nullopt;
        nameOffsetOf[i] = UInt16(nameListLength);
        nameListLength += 1 + std::min<size_t>(map.entries[i].name->size(), 255);
    }
    size_t typeListLength = 2 + types.size() * kResTypeEntrySize;
    size_t nameListOffset = kResMapHeadSize + typeListLength + map.entries.size() * kResRefEntrySize;
    size_t mapLength = nameListOffset + nameListLength;
    if (nameListOffset > 0xFFFF || kResDataStart + dataLength + mapLength > 0xFFFFFFFFu) return std::nullopt;

    size_t mapOffset = kResDataStart + dataLength;
    std::vector<UInt8> out(mapOffset + mapLength, 0);
    for (size_t at : {size_t(0), mapOffset}) {
        PutU32(out, at, UInt32(kResDataStart));
        PutU32(out, at + 4, UInt32(mapOffset));
        PutU32(out, at + 8, UInt32(dataLength));
        PutU32(out, at + 12, UInt32(mapLength));
    }
    for (size_t i = 0; i < map.entries.size(); ++i) {
        size_t at = kResDataStart + dataOffsetOf[i];
        PutU32(out, at, UInt32(data[i].size()));
        std::copy(data[i].begin(), data[i].end(), out.begin() + ptrdiff_t(at + 4));
    }
    PutU16(out, mapOffset + 22, map.attributes);
    PutU16(out, mapOffset + 24, UInt16(kResMapHeadSize));
    PutU16(out, mapOffset + 26, UInt16(nameListOffset));

    size_t typeList = mapOffset + kResMapHeadSize;
    PutU16(out, typeList, UInt16(types.size() - 1));     // 0xFFFF for no types
    size_t refAt = 2 + types.size() * kResTypeEntrySize; // from the type list's start
    for (size_t t = 0; t < types.size(); ++t) {
        const auto& members = byType[types[t]];
        if (members.size() > 0x10000) return std::nullopt;
        size_t typeAt = typeList + 2 + t * kResTypeEntrySize;
        if (refAt > 0xFFFF) return std::nullopt;
        PutU32(out, typeAt, types[t]);
        PutU16(out, typeAt + 4, UInt16(members.size() - 1));
        PutU16(out, typeAt + 6, UInt16(refAt));
        for (size_t i : members) {
            size_t at = typeList + refAt;
            const ResourceEntry& e = map.entries[i];
            PutU16(out, at, UInt16(e.id));
            PutU16(out, at + 2, nameOffsetOf[i]);
            out[at + 4] = e.attributes;
            PutU24(out, at + 5, dataOffsetOf[i]);
            refAt += kResRefEntrySize;
        }
    }
    size_t nameList = mapOffset + nameListOffset;
    for (size_t i = 0; i < map.entries.size(); ++i) {
        if (!map.entries[i].name) continue;
        const std::string& name = *map.entries[i].name;
        size_t n = std::min<size_t>(name.size(), 255);
        out[nameList + nameOffsetOf[i]] = UInt8(n);
        std::copy_n(name.begin(), n, out.begin() + ptrdiff_t(nameList + nameOffsetOf[i] + 1));
    }
    return out;
}

} // namespace toolbox

// Whole-file reading and crash-safe writing, shared by the File and Resource Managers.
#pragma once

#include "toolbox/MacTypes.h"

#include <span>
#include <string>
#include <vector>

namespace toolbox {

// Files larger than this are not read; no file of ours comes near it.
constexpr size_t kMaxFileRead = size_t(64) << 20;

// Reads the whole file; fnfErr, permErr, ioErr, or paramErr when it exceeds kMaxFileRead.
OSErr ReadWholeFile(const std::string& path, std::vector<UInt8>& bytes);

// Replaces the file with bytes: writes a new file beside it, flushes it to disk and renames
// it over the old one, so a crash leaves either file whole. The old file's mode, type and
// creator are kept.
OSErr ReplaceFile(const std::string& path, std::span<const UInt8> bytes);

// Creates the file with bytes, the same way, but never over an existing file (dupFNErr),
// with the given type and creator.
OSErr CreateFileWith(const std::string& path, std::span<const UInt8> bytes, OSType fileType, OSType creator);

// A file's type and creator live in an extended attribute beside its data; a file system
// without them just has no type. These write them to an open file and read them (0 and 0
// for a file without them).
void WriteTypeCreator(int fd, OSType fileType, OSType creator);
void ReadTypeCreator(const std::string& path, OSType& fileType, OSType& creator);

// The directory number of an absolute path, registered on first use (FSSpec.parID).
SInt32 RegisterDirectory(const std::string& absolutePath);

// The absolute path of a directory number; NULL for an unknown one.
const std::string* DirectoryPathOf(SInt32 dirID);

// The platform result code for an errno value of a failed file operation.
OSErr ErrnoToOSErr(int err);

} // namespace toolbox

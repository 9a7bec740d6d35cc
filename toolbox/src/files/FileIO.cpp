// A new file is written beside its destination (same directory, so the rename cannot cross
// file systems), flushed with fsync, then renamed into place; the directory is flushed too
// so the rename itself survives a power cut.
#include "FileIO.h"

#include "toolbox/Files.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace toolbox {

namespace {

std::string DirectoryOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool WriteAll(int fd, std::span<const UInt8> bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += size_t(n);
    }
    return true;
}

void SyncDirectory(const std::string& dir) {
    int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

constexpr const char* kTypeCreatorAttr = "user.umbrawash.typecreator";

// What a new file carries besides its bytes.
struct FileAttributesRec {
    mode_t mode;
    OSType fileType;
    OSType creator;
};

// Writes bytes to a fresh temporary file beside path and flushes it. Returns its name, or
// an empty string with err set.
std::string WriteTemporary(const std::string& path, std::span<const UInt8> bytes,
                           const FileAttributesRec& attributes, OSErr& err) {
    std::string temp = DirectoryOf(path) + "/." + BaseOf(path) + ".XXXXXX";
    int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        err = ErrnoToOSErr(errno);
        return {};
    }
    if (attributes.fileType || attributes.creator)
        WriteTypeCreator(fd, attributes.fileType, attributes.creator);
    bool ok = WriteAll(fd, bytes) && fchmod(fd, attributes.mode) == 0 && fsync(fd) == 0;
    int writeErrno = errno;
    if (close(fd) != 0 && ok) {
        ok = false;
        writeErrno = errno;
    }
    if (!ok) {
        unlink(temp.c_str());
        err = ErrnoToOSErr(writeErrno);
        return {};
    }
    err = noErr;
    return temp;
}

mode_t NewFileMode() {
    mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

} // namespace

void WriteTypeCreator(int fd, OSType fileType, OSType creator) {
    UInt8 codes[8];
    for (int i = 0; i < 4; ++i) {
        codes[i] = UInt8(fileType >> (24 - 8 * i));
        codes[4 + i] = UInt8(creator >> (24 - 8 * i));
    }
    fsetxattr(fd, kTypeCreatorAttr, codes, sizeof codes, 0); // no type where unsupported
}

void ReadTypeCreator(const std::string& path, OSType& fileType, OSType& creator) {
    fileType = creator = 0;
    UInt8 codes[8];
    if (getxattr(path.c_str(), kTypeCreatorAttr, codes, sizeof codes) != ssize_t(sizeof codes)) return;
    for (int i = 0; i < 4; ++i) {
        fileType = (fileType << 8) | codes[i];
        creator = (creator << 8) | codes[4 + i];
    }
}

OSErr ErrnoToOSErr(int err) {
    switch (err) {
        case ENOENT:
            return fnfErr;
        case ENOTDIR:
            return dirNFErr;
        case EEXIST:
            return dupFNErr;
        case EACCES:
        case EPERM:
            return permErr;
        case EROFS:
            return wPrErr;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return dskFulErr;
        case ENAMETOOLONG:
            return bdNamErr;
        default:
            return ioErr;
    }
}

OSErr ReadWholeFile(const std::string& path, std::vector<UInt8>& bytes) {
    bytes.clear();
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return ErrnoToOSErr(errno);
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return ioErr;
    }
    if (size_t(info.st_size) > kMaxFileRead) {
        close(fd);
        return paramErr;
    }
    // Read to the end rather than trusting st_size: the file may change under us.
    UInt8 chunk[65536];
    for (;;) {
        ssize_t n = read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            close(fd);
            return ioErr;
        }
        if (n == 0) break;
        if (bytes.size() + size_t(n) > kMaxFileRead) {
            close(fd);
            return paramErr;
        }
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    close(fd);
    return noErr;
}

OSErr ReplaceFile(const std::string& path, std::span<const UInt8> bytes) {
    struct stat old {};
    FileAttributesRec attributes{stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : NewFileMode(), 0, 0};
    ReadTypeCreator(path, attributes.fileType, attributes.creator);
    OSErr err = noErr;
    std::string temp = WriteTemporary(path, bytes, attributes, err);
    if (temp.empty()) return err;
    if (rename(temp.c_str(), path.c_str()) != 0) {
        err = ErrnoToOSErr(errno);
        unlink(temp.c_str());
        return err;
    }
    SyncDirectory(DirectoryOf(path));
    return noErr;
}

OSErr CreateFileWith(const std::string& path, std::span<const UInt8> bytes, OSType fileType, OSType creator) {
    OSErr err = noErr;
    std::string temp = WriteTemporary(path, bytes, FileAttributesRec{NewFileMode(), fileType, creator}, err);
    if (temp.empty()) return err;
    // link() puts the complete file in place only when nothing is there yet.
    if (link(temp.c_str(), path.c_str()) != 0) err = ErrnoToOSErr(errno);
    unlink(temp.c_str());
    if (err == noErr) SyncDirectory(DirectoryOf(path));
    return err;
}

} // namespace toolbox

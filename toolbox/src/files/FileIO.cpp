// A new file is written beside its destination (same directory, so the rename cannot cross
// file systems), flushed with fsync, then renamed into place; the directory is flushed too
// so the rename itself survives a power cut.
#include "FileIO.h"

#include "toolbox/Files.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
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

// Writes bytes to a fresh temporary file beside path and flushes it. Returns its name, or
// an empty string with err set.
std::string WriteTemporary(const std::string& path, std::span<const UInt8> bytes, mode_t mode, OSErr& err) {
    std::string temp = DirectoryOf(path) + "/." + BaseOf(path) + ".XXXXXX";
    int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        err = ErrnoToOSErr(errno);
        return {};
    }
    bool ok = WriteAll(fd, bytes) && fchmod(fd, mode) == 0 && fsync(fd) == 0;
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
    mode_t mode = stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : NewFileMode();
    OSErr err = noErr;
    std::string temp = WriteTemporary(path, bytes, mode, err);
    if (temp.empty()) return err;
    if (rename(temp.c_str(), path.c_str()) != 0) {
        err = ErrnoToOSErr(errno);
        unlink(temp.c_str());
        return err;
    }
    SyncDirectory(DirectoryOf(path));
    return noErr;
}

OSErr CreateFileWith(const std::string& path, std::span<const UInt8> bytes) {
    OSErr err = noErr;
    std::string temp = WriteTemporary(path, bytes, NewFileMode(), err);
    if (temp.empty()) return err;
    // link() puts the complete file in place only when nothing is there yet.
    if (link(temp.c_str(), path.c_str()) != 0) err = ErrnoToOSErr(errno);
    unlink(temp.c_str());
    if (err == noErr) SyncDirectory(DirectoryOf(path));
    return err;
}

} // namespace toolbox

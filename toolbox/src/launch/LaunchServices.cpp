// Opening a document with the user's default application: xdg-open with the document's
// path (or the URL itself when it is not a file URL), started directly, without a shell,
// so nothing in the name is ever interpreted.
#include "toolbox/LaunchServices.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <climits>
#include <string>

#include "../corefoundation/CFObject.h"

extern char** environ;

extern "C" {

OSStatus LSOpenCFURLRef(CFURLRef inURL, CFURLRef* outLaunchedURL) {
    if (outLaunchedURL) *outLaunchedURL = nullptr;
    if (!inURL) return paramErr;
    UInt8 path[PATH_MAX];
    std::string target = CFURLGetFileSystemRepresentation(inURL, true, path, sizeof path)
                             ? std::string(reinterpret_cast<char*>(path))
                             : toolbox::CFStringToUtf8(CFURLGetString(inURL));
    if (target.empty()) return paramErr;
    std::string program = "xdg-open";
    char* argv[] = {program.data(), target.data(), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv, environ) != 0)
        return kLSApplicationNotFoundErr;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return kLSLaunchFailedErr;
    if (WIFEXITED(status)) return WEXITSTATUS(status) == 0 ? OSStatus(noErr) : OSStatus(WEXITSTATUS(status));
    return kLSLaunchFailedErr;
}

} // extern "C"

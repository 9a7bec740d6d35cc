// Where the built programs live, for tests that run them as a user would.
#pragma once

#include "MediaFiles.h"

#include <string>

namespace testpaths {
inline std::string BuildDir() {
    return UMBRAWASH_BUILD_DIR;
}
inline std::string Umbrawash() {
    return BuildDir() + "/umbrawash";
}
inline std::string Bundle() {
    return BuildDir() + "/Umbrawash.bundle";
}
// Runs the umbrawash command with these arguments; its output includes standard error.
inline mediafiles::RunResult RunUmbrawash(const std::string& args) {
    return mediafiles::Run(Umbrawash() + " " + args, true);
}
} // namespace testpaths

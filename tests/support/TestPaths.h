// Where the built programs live, for tests that run them as a user would.
#pragma once

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
} // namespace testpaths

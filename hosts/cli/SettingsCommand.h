#pragma once

#include <string>
#include <vector>

namespace cli {

extern const char* const kSettingsUsage;
int RunSettings(const std::vector<std::string>& args);

} // namespace cli

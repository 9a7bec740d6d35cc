#pragma once

#include <string>
#include <vector>

namespace cli {

extern const char* const kConfigureUsage;
int RunConfigure(const std::vector<std::string>& args);

} // namespace cli

#pragma once

#include <string>
#include <vector>

namespace cli {

extern const char* const kInfoUsage;
int RunInfo(const std::vector<std::string>& args);

} // namespace cli

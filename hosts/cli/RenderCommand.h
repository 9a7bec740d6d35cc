#pragma once

#include <string>
#include <vector>

namespace cli {

int RunRender(const std::vector<std::string>& args);

extern const char* const kPlaceholderUsage;
int RunPlaceholder(const std::vector<std::string>& args);

} // namespace cli

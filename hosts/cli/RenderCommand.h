#pragma once

#include <string>
#include <vector>

namespace cli {

extern const char* const kRenderUsage;
int RunRender(const std::vector<std::string>& args);

extern const char* const kPlaceholderUsage;
int RunPlaceholder(const std::vector<std::string>& args);

} // namespace cli

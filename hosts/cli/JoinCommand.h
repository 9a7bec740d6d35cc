// `umbrawash join`: the pieces of a render in segments joined into one file.
#pragma once

#include <string>
#include <vector>

namespace cli {

extern const char* const kJoinUsage;
int RunJoin(const std::vector<std::string>& args);

// Checks the pieces and joins them into output; reports any failure under the name `who`
// and returns the exit status.
int JoinPieces(const std::vector<std::string>& pieces, const std::string& output, bool quiet,
               const std::string& who);

} // namespace cli

// A small command-line reader: subcommand words, flags with or without a value, and
// positional arguments. Unknown flags are errors, reported with the flag's name.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace cli {

struct FlagSpec {
    std::set<std::string> switches;  // flags without a value, e.g. --json
    std::set<std::string> withValue; // flags that take the next word, e.g. --bundle DIR
};

struct ParsedArgs {
    std::set<std::string> switches;
    std::map<std::string, std::string> values;
    std::vector<std::string> positional;

    bool Has(const std::string& flag) const { return switches.count(flag) || values.count(flag); }
    std::optional<std::string> Value(const std::string& flag) const;
};

// Reads args against the known flags; on an unknown flag or a missing value returns nothing and sets error.
std::optional<ParsedArgs> ParseArgs(const std::vector<std::string>& args, const FlagSpec& spec,
                                    std::string& error);

// Reports a usage error as command-line tools do: one line saying what is wrong and one
// pointing to the help of `command` ("" for the top level). Returns kExitUsage.
int UsageError(const std::string& command, const std::string& message);

// Exit statuses of the command.
constexpr int kExitOK = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

} // namespace cli

#include "CommandLine.h"

#include <cstdio>

namespace cli {

std::optional<std::string> ParsedArgs::Value(const std::string& flag) const {
    auto it = values.find(flag);
    if (it == values.end()) return std::nullopt;
    return it->second;
}

std::optional<ParsedArgs> ParseArgs(const std::vector<std::string>& args, const FlagSpec& spec,
                                    std::string& error) {
    ParsedArgs parsed;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& word = args[i];
        if (word.size() < 2 || word[0] != '-') {
            parsed.positional.push_back(word);
            continue;
        }
        std::string flag = word;
        std::optional<std::string> inlineValue;
        if (auto eq = word.find('='); eq != std::string::npos && word.rfind("--", 0) == 0) {
            flag = word.substr(0, eq);
            inlineValue = word.substr(eq + 1);
        }
        if (spec.switches.count(flag) && !inlineValue) {
            parsed.switches.insert(flag);
        } else if (spec.withValue.count(flag)) {
            if (inlineValue) {
                parsed.values[flag] = *inlineValue;
            } else if (i + 1 < args.size()) {
                parsed.values[flag] = args[++i];
            } else {
                error = flag + " needs a value";
                return std::nullopt;
            }
        } else {
            error = "unknown option " + flag;
            return std::nullopt;
        }
    }
    return parsed;
}

int UsageError(const std::string& command, const std::string& message) {
    std::string name = command.empty() ? "umbrawash" : "umbrawash " + command;
    std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", name.c_str(), message.c_str(),
                 name.c_str());
    return kExitUsage;
}

} // namespace cli

// `umbrawash info`: load the bundle, ask it to describe itself as a host does at start,
// and show what it said.
#include "InfoCommand.h"

#include "CommandLine.h"
#include "common/BundleLoader.h"
#include "common/HostProcs.h"

#include "toolbox/TextUtils.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <iostream>

namespace cli {

const char* const kInfoUsage =
    "usage: umbrawash info [--json] [--bundle DIR]\n"
    "\n"
    "Loads the plug-in bundle, asks it to describe itself as a video editor does when it\n"
    "starts, and prints the description: kind of effect, flags, frames and memory it needs,\n"
    "the three host sliders, the button title and the group it is listed under.\n"
    "\n"
    "  --json        print the description as JSON\n"
    "  --bundle DIR  the bundle to load (default: Umbrawash.bundle beside this program)\n";

namespace {

// Host record strings are zero-terminated Mac Roman; show them as UTF-8.
std::string HostText(const char* field, size_t capacity) {
    size_t n = 0;
    while (n < capacity && field[n])
        ++n;
    return toolbox::MacRomanToUtf8(std::string_view(field, n));
}

std::string TypeName(HYPluginType type) {
    switch (type) {
        case kPluginTitleType:
            return "title";
        case kPluginTransitionBeforeType:
            return "transition before";
        case kPluginTransitionBetweenType:
            return "transition between";
        case kPluginTransitionAfterType:
            return "transition after";
        case kPluginFilterType:
            return "filter";
        default:
            return "unknown";
    }
}

nlohmann::ordered_json Describe(const hosts::LoadedBundle& bundle, const HYPluginParams& p) {
    nlohmann::ordered_json sliders = nlohmann::ordered_json::array();
    for (const auto& s : p.getInfo2.filterSliders) {
        sliders.push_back({{"label", HostText(s.label, sizeof s.label)},
                           {"minLabel", HostText(s.minLabel, sizeof s.minLabel)},
                           {"maxLabel", HostText(s.maxLabel, sizeof s.maxLabel)},
                           {"default", s.defaultValue}});
    }
    return {{"bundle", bundle.Identifier()},
            {"library", bundle.LibraryPath()},
            {"type", TypeName(p.getInfo.pluginType)},
            {"typeCode", p.getInfo.pluginType},
            {"flags", p.getInfo.pluginFlags},
            {"framesToBeRendered", p.getInfo.framesToBeRendered},
            {"takeFromClipBefore", p.getInfo.takeFromClipBefore},
            {"takeFromClipAfter", p.getInfo.takeFromClipAfter},
            {"minSpeedFrames", p.getInfo.minSpeedFrames},
            {"maxSpeedFrames", p.getInfo.maxSpeedFrames},
            {"mustTakeFromSingleClips", bool(p.getInfo.mustTakeFromSingleClips)},
            {"baseMemoryNeeded", p.getInfo2.baseMemoryNeeded},
            {"group", HostText(p.getInfo2.group, sizeof p.getInfo2.group)},
            {"buttonTitle", HostText(p.getInfo3.buttonTitle, sizeof p.getInfo3.buttonTitle)},
            {"sliders", sliders}};
}

void PrintText(const nlohmann::ordered_json& d) {
    std::printf("%s\n", d["bundle"].get<std::string>().c_str());
    std::printf("  library        %s\n", d["library"].get<std::string>().c_str());
    std::printf("  type           %s (%d)\n", d["type"].get<std::string>().c_str(), d["typeCode"].get<int>());
    std::printf("  flags          0x%08X\n", d["flags"].get<unsigned>());
    std::printf("  frames         render %d, from clip before %d, after %d\n",
                d["framesToBeRendered"].get<int>(), d["takeFromClipBefore"].get<int>(),
                d["takeFromClipAfter"].get<int>());
    std::printf("  speed frames   %d..%d\n", d["minSpeedFrames"].get<int>(), d["maxSpeedFrames"].get<int>());
    std::printf("  memory needed  %d bytes\n", d["baseMemoryNeeded"].get<int>());
    std::printf("  group          %s\n", d["group"].get<std::string>().c_str());
    std::printf("  button title   %s\n", d["buttonTitle"].get<std::string>().c_str());
    std::printf("  host sliders\n");
    int n = 1;
    for (const auto& s : d["sliders"]) {
        std::printf("    %d. %-24s %s .. %s  (default %.2f)\n", n++, s["label"].get<std::string>().c_str(),
                    s["minLabel"].get<std::string>().c_str(), s["maxLabel"].get<std::string>().c_str(),
                    s["default"].get<double>());
    }
}

} // namespace

int RunInfo(const std::vector<std::string>& args) {
    std::string error;
    auto parsed = ParseArgs(args, {{"--json", "--help"}, {"--bundle"}}, error);
    if (!parsed || !parsed->positional.empty())
        return UsageError("info", parsed ? "unexpected argument " + parsed->positional[0] : error);
    if (parsed->Has("--help")) {
        std::fputs(kInfoUsage, stdout);
        return kExitOK;
    }
    std::string bundlePath = parsed->Value("--bundle").value_or(hosts::DefaultBundlePath());
    hosts::LoadedBundle bundle = hosts::LoadedBundle::Open(bundlePath, error);
    if (!bundle.IsLoaded()) {
        std::fprintf(stderr, "umbrawash info: %s\n", error.c_str());
        return kExitFailure;
    }
    HYProcs procs = hosts::MakeDefaultProcs();
    HYPluginParams params = hosts::MakeParams(&procs, nullptr, kPlugGetInfo);
    int result = bundle.Call(0, &params);
    if (result != kPluginOK) {
        std::fprintf(stderr, "umbrawash info: the plug-in refused to describe itself (result %d)\n", result);
        return kExitFailure;
    }
    nlohmann::ordered_json description = Describe(bundle, params);
    if (parsed->Has("--json"))
        std::cout << description.dump(2) << "\n";
    else
        PrintText(description);
    return kExitOK;
}

} // namespace cli

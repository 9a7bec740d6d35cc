// `umbrawash settings`: show, reset and set the saved configuration without the dialog.
//
// The command reads and writes through the plug-in's own saved-configuration code (linked
// in from umbrawash_core, reached through SettingsValues), so the file it writes is exactly
// the file the plug-in writes. Every value is checked before anything is written: a bad
// value leaves the file as it was.
#include "SettingsCommand.h"

#include "CommandLine.h"
#include "SettingsValues.h"

#include <cstdio>
#include <iostream>
#include <optional>

namespace cli {

const char* const kSettingsUsage =
    "usage: umbrawash settings show [--json]\n"
    "       umbrawash settings reset\n"
    "       umbrawash settings set [--red N] [--green N] [--blue N] [--rect LEFT,TOP,RIGHT,BOTTOM]\n"
    "                              [--standard ntsc|pal|hd] [--keep-proportions yes|no]\n"
    "\n"
    "Shows or changes the effect's saved configuration, the one the configuration dialog\n"
    "edits, kept in the settings file zorlt-Prefs of the preferences folder\n"
    "($XDG_CONFIG_HOME, else ~/.config).\n"
    "\n"
    "  show               print the file's path and every field of the saved configuration\n"
    "                     (the defaults, marked so, when nothing valid is saved)\n"
    "  reset              store the defaults\n"
    "  set                change the named fields and keep the others:\n"
    "    --red N, --green N, --blue N   inversion amount of a channel in percent, 0..100\n"
    "    --rect L,T,R,B   the effect rectangle relative to the frame, each value 0..1\n"
    "                     (0,0,1,1 is the whole frame), left < right and top < bottom\n"
    "    --standard S     video standard of the dialog's preview: ntsc, pal or hd\n"
    "    --keep-proportions yes|no   keep the rectangle's proportions while dragging it\n"
    "  --json             with show: print the configuration as JSON\n";

namespace {

int Usage(const std::string& message) {
    return UsageError("settings", message);
}

nlohmann::ordered_json Describe(const std::string& path, bool saved, const PluginDataRec& c) {
    nlohmann::ordered_json all = {{"path", path}, {"saved", saved}};
    all.update(SettingsJson(c));
    return all;
}

std::string RectText(const RelRect& r) {
    return "left " + NumberText(r.left) + ", top " + NumberText(r.top) + ", right " + NumberText(r.right) +
           ", bottom " + NumberText(r.bottom);
}

std::string ColorText(const RGBColor& c) {
    return std::to_string(c.red) + "," + std::to_string(c.green) + "," + std::to_string(c.blue);
}

void PrintText(const std::string& path, bool saved, const PluginDataRec& c) {
    std::printf("settings file        %s\n", path.c_str());
    std::printf("  saved record       %s\n", saved ? "yes" : "none valid: the defaults are shown");
    std::printf("  red                %d %%\n", c.sliders[1]);
    std::printf("  green              %d %%\n", c.sliders[2]);
    std::printf("  blue               %d %%\n", c.sliders[3]);
    std::printf("  rectangle          %s\n", RectText(c.startRel).c_str());
    std::printf("  end rectangle      %s\n", RectText(c.endRel).c_str());
    std::printf("  standard           %s\n", StandardName(c.mediaType).c_str());
    std::printf("  keep proportions   %s\n", c.keepProps ? "yes" : "no");
    std::printf("  method             %d\n", c.method);
    std::printf("  sliders 4..6       %d, %d, %d\n", c.sliders[4], c.sliders[5], c.sliders[6]);
    for (int i = 1; i <= kNumColors; ++i)
        std::printf("  colour %d           %s\n", i, ColorText(c.colors[i]).c_str());
    std::printf("  frame start colour %s\n", ColorText(c.frameStartColor).c_str());
    std::printf("  frame end colour   %s\n", ColorText(c.frameEndColor).c_str());
}

int Store(PluginDataRec& config, const std::string& path) {
    if (!StoreSettings(config)) {
        std::fprintf(stderr, "umbrawash settings: could not write %s\n", path.c_str());
        return kExitFailure;
    }
    return kExitOK;
}

} // namespace

int RunSettings(const std::vector<std::string>& args) {
    std::string error;
    FlagSpec spec{{"--json", "--help"},
                  {"--red", "--green", "--blue", "--rect", "--standard", "--keep-proportions"}};
    auto parsed = ParseArgs(args, spec, error);
    if (!parsed) return Usage(error);
    if (parsed->Has("--help")) {
        std::fputs(kSettingsUsage, stdout);
        return kExitOK;
    }
    if (parsed->positional.size() != 1) {
        return Usage(parsed->positional.empty() ? "which action: show, reset or set?"
                                                : "unexpected argument " + parsed->positional[1]);
    }
    const std::string action = parsed->positional[0];
    bool hasChange = false;
    for (const auto& flag : spec.withValue)
        hasChange = hasChange || parsed->Has(flag);
    if (action != "set" && hasChange) return Usage("only 'set' takes values");
    if (action != "show" && parsed->Has("--json")) return Usage("--json goes with 'show'");

    auto path = SettingsFilePath();
    if (!path) {
        std::fputs(
            "umbrawash settings: there is no usable preferences folder ($XDG_CONFIG_HOME or ~/.config)\n",
            stderr);
        return kExitFailure;
    }
    PluginDataRec config;
    if (action == "show") {
        bool saved = LoadSavedSettings(config);
        if (parsed->Has("--json"))
            std::cout << Describe(*path, saved, config).dump(2) << "\n";
        else
            PrintText(*path, saved, config);
        return kExitOK;
    }
    if (action == "reset") {
        config = DefaultSettings();
        return Store(config, *path);
    }
    if (action == "set") {
        if (!hasChange) return Usage("'set' needs at least one value to change");
        auto change = ReadSettingsChange(*parsed, error);
        if (!change) return Usage(error);
        LoadSavedSettings(config);
        ApplySettingsChange(*change, config);
        return Store(config, *path);
    }
    return Usage("unknown action '" + action + "'");
}

} // namespace cli

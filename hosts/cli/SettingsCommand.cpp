// `umbrawash settings`: show, reset and set the saved configuration without the dialog.
//
// The command reads and writes through the plug-in's own saved-configuration code
// (settings/prefsloader, linked in from umbrawash_core), so the file it writes is exactly
// the file the plug-in writes. Every value is checked before anything is written: a bad
// value leaves the file as it was.
#include "SettingsCommand.h"

#include "CommandLine.h"

#include "model/DataHandling.h"
#include "model/relRects.h"
#include "settings/prefsloader.h"

#include "toolbox/Folders.h"
#include "toolbox/TextUtils.h"

#include <nlohmann/json.hpp>

#include <charconv>
#include <cmath>
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

// The changes `set` was asked for, all checked.
struct SettingsChange {
    std::optional<SInt16> amounts[3];
    std::optional<RelRect> rect;
    std::optional<SInt16> mediaType;
    std::optional<Boolean> keepProps;
};

const char* const kAmountFlags[3] = {"--red", "--green", "--blue"};

int UsageError(const std::string& message) {
    std::fprintf(stderr, "umbrawash settings: %s\n%s", message.c_str(), kSettingsUsage);
    return kExitUsage;
}

std::optional<long> ParseInteger(const std::string& text) {
    long value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
    return value;
}

std::optional<double> ParseFraction(const std::string& text) {
    double value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
    if (!std::isfinite(value) || value < 0.0 || value > 1.0) return std::nullopt;
    return value;
}

std::optional<RelRect> ParseRect(const std::string& text) {
    double v[4];
    size_t start = 0;
    for (int i = 0; i < 4; ++i) {
        size_t comma = text.find(',', start);
        if ((comma == std::string::npos) != (i == 3)) return std::nullopt;
        auto value =
            ParseFraction(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (!value) return std::nullopt;
        v[i] = *value;
        start = comma + 1;
    }
    if (!(v[0] < v[2]) || !(v[1] < v[3])) return std::nullopt;
    return SetRelRect(v[0], v[1], v[2], v[3]);
}

// Checks every flag; on the first bad one returns nothing and says which in error.
std::optional<SettingsChange> ReadChange(const ParsedArgs& args, std::string& error) {
    SettingsChange change;
    for (int i = 0; i < 3; ++i) {
        auto text = args.Value(kAmountFlags[i]);
        if (!text) continue;
        auto value = ParseInteger(*text);
        if (!value || *value < 0 || *value > 100) {
            error = std::string(kAmountFlags[i]) + " wants a whole percentage 0..100, not '" + *text + "'";
            return std::nullopt;
        }
        change.amounts[i] = SInt16(*value);
    }
    if (auto text = args.Value("--rect")) {
        change.rect = ParseRect(*text);
        if (!change.rect) {
            error =
                "--rect wants LEFT,TOP,RIGHT,BOTTOM, each 0..1 with left < right and top < bottom, not '" +
                *text + "'";
            return std::nullopt;
        }
    }
    if (auto text = args.Value("--standard")) {
        if (*text == "ntsc")
            change.mediaType = kMediaNTSC;
        else if (*text == "pal")
            change.mediaType = kMediaPAL;
        else if (*text == "hd")
            change.mediaType = kMediaHD;
        else {
            error = "--standard wants ntsc, pal or hd, not '" + *text + "'";
            return std::nullopt;
        }
    }
    if (auto text = args.Value("--keep-proportions")) {
        if (*text != "yes" && *text != "no") {
            error = "--keep-proportions wants yes or no, not '" + *text + "'";
            return std::nullopt;
        }
        change.keepProps = *text == "yes";
    }
    return change;
}

void Apply(const SettingsChange& change, PluginDataRec& config) {
    for (int i = 0; i < 3; ++i)
        if (change.amounts[i]) config.sliders[i + 1] = *change.amounts[i];
    if (change.rect) config.startRel = *change.rect;
    if (change.mediaType) config.mediaType = *change.mediaType;
    if (change.keepProps) config.keepProps = *change.keepProps;
}

// The settings file's path, or nothing when there is no preferences folder.
std::optional<std::string> SettingsPath() {
    FSVolumeRefNum vRefNum = 0;
    SInt32 dirID = 0;
    if (FindFolder(kOnSystemDisk, kPreferencesFolderType, kDontCreateFolder, &vRefNum, &dirID) != noErr)
        return std::nullopt;
    Str255 name;
    CopyCStringToPascal(kSettingsFileName, name);
    FSSpec spec;
    OSErr err = FSMakeFSSpec(vRefNum, dirID, name, &spec);
    if (err != noErr && err != fnfErr) return std::nullopt;
    return toolbox::FSSpecToPath(spec);
}

std::string StandardName(SInt16 mediaType) {
    switch (mediaType) {
        case kMediaNTSC:
            return "ntsc";
        case kMediaPAL:
            return "pal";
        case kMediaHD:
            return "hd";
        default:
            return "unknown (" + std::to_string(mediaType) + ")";
    }
}

// Shortest text that reads back as the same double.
std::string Number(double value) {
    char text[32];
    auto [end, ec] = std::to_chars(text, text + sizeof text, value);
    return ec == std::errc() ? std::string(text, end) : "?";
}

nlohmann::ordered_json RectJson(const RelRect& r) {
    return {{"left", r.left}, {"top", r.top}, {"right", r.right}, {"bottom", r.bottom}};
}

nlohmann::ordered_json ColorJson(const RGBColor& c) {
    return {c.red, c.green, c.blue};
}

nlohmann::ordered_json Describe(const std::string& path, bool saved, const PluginDataRec& c) {
    nlohmann::ordered_json sliders = nlohmann::ordered_json::array(),
                           colors = nlohmann::ordered_json::array();
    for (int i = 1; i <= kNumSliders; ++i)
        sliders.push_back(c.sliders[i]);
    for (int i = 1; i <= kNumColors; ++i)
        colors.push_back(ColorJson(c.colors[i]));
    return {{"path", path},
            {"saved", saved},
            {"red", c.sliders[1]},
            {"green", c.sliders[2]},
            {"blue", c.sliders[3]},
            {"rect", RectJson(c.startRel)},
            {"endRect", RectJson(c.endRel)},
            {"standard", StandardName(c.mediaType)},
            {"keepProportions", bool(c.keepProps)},
            {"method", c.method},
            {"sliders", sliders},
            {"colors", colors},
            {"frameStartColor", ColorJson(c.frameStartColor)},
            {"frameEndColor", ColorJson(c.frameEndColor)}};
}

std::string RectText(const RelRect& r) {
    return "left " + Number(r.left) + ", top " + Number(r.top) + ", right " + Number(r.right) + ", bottom " +
           Number(r.bottom);
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

// The saved configuration over the defaults, as the plug-in loads it at start.
bool LoadSaved(PluginDataRec& config) {
    ResetConfig(&config, true);
    return ReadConfig(&config);
}

int Store(PluginDataRec& config, const std::string& path) {
    CreateSettingsFile();
    if (!SaveConfig(&config)) {
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
    if (!parsed) return UsageError(error);
    if (parsed->Has("--help")) {
        std::fputs(kSettingsUsage, stdout);
        return kExitOK;
    }
    if (parsed->positional.size() != 1) {
        return UsageError(parsed->positional.empty() ? "which action: show, reset or set?"
                                                     : "unexpected argument " + parsed->positional[1]);
    }
    const std::string action = parsed->positional[0];
    bool hasChange = false;
    for (const auto& flag : spec.withValue)
        hasChange = hasChange || parsed->Has(flag);
    if (action != "set" && hasChange) return UsageError("only 'set' takes values");
    if (action != "show" && parsed->Has("--json")) return UsageError("--json goes with 'show'");

    auto path = SettingsPath();
    if (!path) {
        std::fputs(
            "umbrawash settings: there is no usable preferences folder ($XDG_CONFIG_HOME or ~/.config)\n",
            stderr);
        return kExitFailure;
    }
    PluginDataRec config{};
    if (action == "show") {
        bool saved = LoadSaved(config);
        if (parsed->Has("--json"))
            std::cout << Describe(*path, saved, config).dump(2) << "\n";
        else
            PrintText(*path, saved, config);
        return kExitOK;
    }
    if (action == "reset") {
        ResetConfig(&config, true);
        return Store(config, *path);
    }
    if (action == "set") {
        if (!hasChange) return UsageError("'set' needs at least one value to change");
        auto change = ReadChange(*parsed, error);
        if (!change) return UsageError(error);
        LoadSaved(config);
        Apply(*change, config);
        return Store(config, *path);
    }
    return UsageError("unknown action '" + action + "'");
}

} // namespace cli

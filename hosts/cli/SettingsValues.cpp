#include "SettingsValues.h"

#include "model/DataHandling.h"
#include "model/relRects.h"
#include "settings/prefsloader.h"

#include "toolbox/Folders.h"
#include "toolbox/TextUtils.h"

#include <charconv>
#include <cmath>

namespace cli {

namespace {

const char* const kAmountFlags[3] = {"--red", "--green", "--blue"};

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

nlohmann::ordered_json RectJson(const RelRect& r) {
    return {{"left", r.left}, {"top", r.top}, {"right", r.right}, {"bottom", r.bottom}};
}

nlohmann::ordered_json ColorJson(const RGBColor& c) {
    return {c.red, c.green, c.blue};
}

} // namespace

bool SettingsChange::Empty() const {
    return !amounts[0] && !amounts[1] && !amounts[2] && !rect && !mediaType && !keepProps;
}

// Checks every flag; on the first bad one returns nothing and says which in error.
std::optional<SettingsChange> ReadSettingsChange(const ParsedArgs& args, std::string& error) {
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

void ApplySettingsChange(const SettingsChange& change, PluginDataRec& config) {
    for (int i = 0; i < 3; ++i)
        if (change.amounts[i]) config.sliders[i + 1] = *change.amounts[i];
    if (change.rect) config.startRel = *change.rect;
    if (change.mediaType) config.mediaType = *change.mediaType;
    if (change.keepProps) config.keepProps = *change.keepProps;
}

// The settings file's path, or nothing when there is no preferences folder.
std::optional<std::string> SettingsFilePath() {
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

// The defaults leave frameEndColor as it is, which a fresh record of the plug-in's holds zero.
PluginDataRec DefaultSettings() {
    PluginDataRec config{};
    ResetConfig(&config, true);
    return config;
}

bool LoadSavedSettings(PluginDataRec& config) {
    config = DefaultSettings();
    return ReadConfig(&config);
}

bool StoreSettings(PluginDataRec& config) {
    CreateSettingsFile();
    return SaveConfig(&config);
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

std::string NumberText(double value) {
    char text[32];
    auto [end, ec] = std::to_chars(text, text + sizeof text, value);
    return ec == std::errc() ? std::string(text, end) : "?";
}

nlohmann::ordered_json SettingsJson(const PluginDataRec& c) {
    nlohmann::ordered_json sliders = nlohmann::ordered_json::array(),
                           colors = nlohmann::ordered_json::array();
    for (int i = 1; i <= kNumSliders; ++i)
        sliders.push_back(c.sliders[i]);
    for (int i = 1; i <= kNumColors; ++i)
        colors.push_back(ColorJson(c.colors[i]));
    return {{"red", c.sliders[1]},
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

} // namespace cli

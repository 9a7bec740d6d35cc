#include "RenderSettings.h"

#include "settings/prefsloader.h" // kSettingsFileName

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace cli {

namespace {

std::string TemporaryFolderPattern() {
    const char* tmp = std::getenv("TMPDIR");
    std::string base = tmp && tmp[0] == '/' ? tmp : "/tmp";
    return base + "/umbrawash-settings-XXXXXX";
}

} // namespace

std::unique_ptr<RenderSettings> RenderSettings::Prepare(const std::optional<std::string>& file,
                                                        const SettingsChange& change, std::string& error) {
    std::optional<std::string> source = file ? file : SettingsFilePath();
    std::error_code ec;
    if (file && !fs::is_regular_file(*file, ec)) {
        error = "no settings file " + *file;
        return {};
    }
    std::string pattern = TemporaryFolderPattern();
    if (!mkdtemp(pattern.data())) {
        error =
            "cannot make a folder for the render's settings in " + fs::path(pattern).parent_path().string();
        return {};
    }
    std::unique_ptr<RenderSettings> settings(new RenderSettings);
    settings->folder_ = pattern;
    settings->file_ = (fs::path(pattern) / kSettingsFileName).string();
    if (source && fs::exists(*source, ec) &&
        !fs::copy_file(*source, settings->file_, fs::copy_options::overwrite_existing, ec)) {
        error = "cannot read the settings file " + *source + ": " + ec.message();
        return {};
    }
    setenv("XDG_CONFIG_HOME", settings->folder_.c_str(), 1);

    PluginDataRec config;
    bool valid = LoadSavedSettings(config);
    if (file && !valid) {
        error = *file + " holds no settings this program reads (make one with `umbrawash settings`)";
        return {};
    }
    // The private file always holds a whole record, which the render's other processes read.
    if (!valid || !change.Empty()) {
        ApplySettingsChange(change, config);
        if (!StoreSettings(config)) {
            error = "cannot write the render's settings into " + settings->folder_;
            return {};
        }
    }
    settings->description_ = SettingsJson(config).dump();
    return settings;
}

RenderSettings::~RenderSettings() {
    std::error_code ec;
    fs::remove_all(folder_, ec);
}

} // namespace cli

// The configuration one render uses, kept apart from the saved one.
//
// The plug-in reads its configuration from the settings file of the preferences folder at
// its first call and writes it straight back. A render therefore copies the settings file
// (the saved one, or the one it was given) into a private folder of its own, makes its
// changes there, and points this process's preferences folder ($XDG_CONFIG_HOME) at that
// folder before the plug-in loads. The user's file is only ever read, so renders never
// change it and any number of them can run at once with settings of their own.
#pragma once

#include "SettingsValues.h"

#include <memory>
#include <optional>
#include <string>

namespace cli {

class RenderSettings {
  public:
    // Sets up the private folder from `file` (nothing: the saved settings file) with the
    // changes made; false with the reason in error when `file` holds no settings or the folder
    // cannot be made. Call it before the bundle loads and before any thread starts.
    static std::unique_ptr<RenderSettings> Prepare(const std::optional<std::string>& file,
                                                   const SettingsChange& change, std::string& error);
    ~RenderSettings(); // removes the private folder
    RenderSettings(const RenderSettings&) = delete;
    RenderSettings& operator=(const RenderSettings&) = delete;

    // The private settings file, which other processes of the same render read with --settings.
    const std::string& File() const { return file_; }
    // The configuration the render uses: every stored field, as JSON text.
    const std::string& Description() const { return description_; }

  private:
    RenderSettings() = default;
    std::string folder_, file_, description_;
};

} // namespace cli

// What the render and placeholder commands share: reading their option values, opening
// the clip, loading the bundle, and calling the plug-in.
#pragma once

#include "common/BundleLoader.h"
#include "video/FrameSource.h"

#include <memory>
#include <optional>
#include <string>

namespace cli {

// Exit statuses beyond those of CommandLine.h.
constexpr int kExitPluginFailed = 3; // the plug-in answered a result other than kPluginOK
constexpr int kExitInterrupted = 130;

// A whole non-negative number, or nothing.
std::optional<int> ParseCount(const std::string& text);
// "WxH" with both sides 1..4095, or nothing.
std::optional<std::pair<int, int>> ParseSize(const std::string& text);

// The clip to render: a file read through the FFmpeg libraries, or the built-in clip.
struct OpenedClip {
    std::unique_ptr<hosts::video::FrameSource> frames;
    std::string name;
    // The clip's audio from frame `first` on; null without audio (the reason, if any, in error).
    std::unique_ptr<hosts::video::AudioSource> OpenAudio(int first, std::string& error) const;
};
std::optional<OpenedClip> OpenClip(const std::optional<std::string>& input, std::string& error);

// Calls the plug-in and names a result other than kPluginOK for the user.
bool CallPlugin(const hosts::LoadedBundle& bundle, HYPluginParams& params, HYPluginSelector selector,
                std::string& error);

// Set by SIGINT and SIGTERM while a command that writes output runs.
bool Interrupted();
void CatchInterrupts();

} // namespace cli

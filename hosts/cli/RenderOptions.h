// The options of `umbrawash render`, read and checked into a job.
#pragma once

#include "CommandLine.h"
#include "SettingsValues.h"
#include "video/OutputFormat.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace cli {

extern const char* const kRenderUsage;

// One of N consecutive parts of the clip's frames: K counts from 1.
struct SegmentRec {
    int k = 1;
    int n = 1;
};

struct RenderJob {
    std::optional<std::string> input; // nothing: the built-in clip
    std::string output;
    int start = 0;
    std::optional<int> frames;
    int fadeIn = 0, fadeOut = 0;
    bool demo = false; // no arguments: the built-in clip into out/
    bool proxy = false, quiet = false, verbose = false, debugBlocks = false;
    std::optional<std::pair<int, int>> size;
    hosts::video::EncoderRequest encoder;
    std::string bundle;
    std::string stillPath; // the before/after still, when one is wanted
    std::optional<std::string> settingsFile;
    SettingsChange change;
    std::optional<SegmentRec> segment;
    int jobs = 1;
    int progressFd = -1;
    ParsedArgs args; // as given, for the processes of a render in segments
};

// Reads the arguments into a job; returns an exit status when there is nothing to render
// (--help, or a usage error, which it reports).
std::optional<int> ReadRenderJob(const std::vector<std::string>& args, RenderJob& job);

// The options that segment processes of this job take: the job's own, without those of
// its output, its processes and its effect settings (they get a settings file instead).
std::vector<std::string> SegmentOptions(const ParsedArgs& args);

} // namespace cli

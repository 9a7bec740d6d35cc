// `umbrawash render`: one render pass of the plug-in over a clip, or over one segment of
// it, written to a video file, numbered PNG files or a piece for `umbrawash join`. Frames are
// decoded ahead and encoded behind on their own threads; the plug-in is called on this
// thread only, one call at a time. A render in several processes is in SegmentedRender.
#include "RenderCommand.h"

#include "BeforeAfter.h"
#include "CommandLine.h"
#include "common/HostProcs.h"
#include "Pieces.h"
#include "Progress.h"
#include "RenderOptions.h"
#include "RenderSettings.h"
#include "RenderSupport.h"
#include "SegmentedRender.h"
#include "video/EncodeBehind.h"
#include "video/MediaInput.h"
#include "video/PieceFile.h"
#include "video/VideoHost.h"

#include "toolbox/QuickDraw.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <unistd.h>

namespace cli {

namespace {

constexpr int kQueueDepth = 4;
// The level at which the plug-in mixes the audio of a frame it rendered in full.
constexpr int kFullLevel = 256;

// Prefixes messages with the command, and the segment when there is one.
std::string Who(const RenderJob& job) {
    if (!job.segment) return "umbrawash render";
    return "umbrawash render (segment " + std::to_string(job.segment->k) + "/" +
           std::to_string(job.segment->n) + ")";
}

int Fail(const RenderJob& job, const std::string& why, int status = kExitFailure) {
    std::fprintf(stderr, "%s: %s\n", Who(job).c_str(), why.c_str());
    return status;
}

void ReportBlocks(const RenderJob& job, const hosts::BlockLedger& ledger) {
    long bytes = 0;
    for (const auto& [block, size] : ledger.live)
        bytes += size;
    std::fprintf(stderr,
                 "%s: plug-in blocks: %ld handed out, %zu still held (%ld bytes; the plug-in keeps its "
                 "configuration while loaded), %ld disposals of unknown blocks\n",
                 Who(job).c_str(), ledger.handedOut, ledger.live.size(), bytes, ledger.strayDisposals);
}

// What the render covers: the clip's frame count and the output's size and rate, and the
// frames [first, end) of the clip that this process renders.
struct ClipPlan {
    int frameCount = 0;
    int width = 0, height = 0;
    hosts::video::Rational rate;
    int first = 0, end = 0;
};

struct PassResult {
    int status = kExitOK;
    std::string error;
    // The frame for the before/after still, before and after the effect; or why it is missing.
    std::shared_ptr<const hosts::video::ArgbImage> before;
    std::unique_ptr<hosts::video::ArgbImage> after;
    std::string stillError;
    int oddLevelFrame = -1; // the first frame whose audio was not mixed at full level
};

// One render pass over the clip: the frames decoded ahead, the host's callbacks over them
// and the pass's parameter block.
struct PassRec {
    explicit PassRec(hosts::video::FrameSource& source)
        : frames(source, kQueueDepth), host(frames, source.Info()), procs(hosts::MakeDefaultProcs()) {
        host.InstallCallbacks(procs);
    }
    hosts::video::DecodeAhead frames;
    hosts::video::VideoHost host;
    HYProcs procs;
    HYPluginParams params{};
};

// kPlugGetInfo, then kPlugInitialize over the whole clip (and kPlugTerminate when that fails).
bool BeginPass(const RenderJob& job, const hosts::LoadedBundle& bundle, const ClipPlan& plan, PassRec& pass,
               std::string& error) {
    pass.host.filterInfo.fadeInFrames = job.fadeIn;
    pass.host.filterInfo.fadeOutFrames = job.fadeOut;
    HYPluginParams info = hosts::MakeParams(&pass.procs, pass.host.Instance(), kPlugGetInfo);
    info.getInfo2.selectedFrames = plan.frameCount;
    if (!CallPlugin(bundle, info, kPlugGetInfo, error)) return false;

    HYPluginParams& params = pass.params;
    params = hosts::MakeParams(&pass.procs, pass.host.Instance(), kPlugInitialize);
    params.startFrame = job.start;
    params.frameCount = plan.frameCount;
    params.proxyOnly = job.proxy;
    params.frameRect = Rect{0, 0, SInt16(plan.height), SInt16(plan.width)};
    if (CallPlugin(bundle, params, kPlugInitialize, error)) return true;
    std::string ignored;
    CallPlugin(bundle, params, kPlugTerminate, ignored);
    return false;
}

// kPlugDoFrame of clip frame r into out, the whole of which is frameRect; false with the
// reason in result.
bool RenderFrame(const hosts::LoadedBundle& bundle, PassRec& pass, int r, hosts::video::ArgbImage& out,
                 PassResult& result) {
    GWorldPtr world = nullptr;
    Rect bounds = pass.params.frameRect;
    if (NewGWorldFromPtr(&world, k32ARGBPixelFormat, &bounds, nullptr, nullptr, 0,
                         reinterpret_cast<Ptr>(out.pixels.data()), out.rowBytes) != noErr) {
        result = {kExitFailure, "no memory for an output frame"};
        return false;
    }
    pass.params.frame = world;
    pass.params.renderFrame = r;
    bool ok = CallPlugin(bundle, pass.params, kPlugDoFrame, result.error);
    pass.params.frame = nullptr;
    DisposeGWorld(world);
    if (ok) return true;
    result.status = kExitPluginFailed;
    result.error += " at frame " + std::to_string(r) + " of the clip";
    if (!pass.host.LastFrameError().empty()) result.error += " (" + pass.host.LastFrameError() + ")";
    return false;
}

// Keeps the still's frame before and after the effect. The still is no part of the video: a
// frame that cannot be had for it is noted and the render goes on.
void KeepStill(const RenderJob& job, const ClipPlan& plan, PassRec& pass, int r,
               const hosts::video::ArgbImage& out, PassResult& result) {
    if (job.stillPath.empty() || r != plan.frameCount / 2) return;
    result.after = std::make_unique<hosts::video::ArgbImage>(out);
    if (!pass.frames.Get(job.start + r, plan.width, plan.height, hosts::video::ScaleQuality::kHigh,
                         result.before, result.stillError))
        result.before.reset();
}

// Queues frame r for the writer with its audio at the level the plug-in mixed it.
void EncodeFrame(const RenderJob& job, PassRec& pass, hosts::video::EncodeBehind& encoder, int r,
                 std::unique_ptr<hosts::video::ArgbImage> out, PassResult& result) {
    int level = pass.host.TakeMixLevel(job.start + r);
    if (level != kFullLevel && result.oddLevelFrame < 0) result.oddLevelFrame = r;
    if (!encoder.Push(std::move(out), job.proxy ? -1 : level, result.error)) result.status = kExitFailure;
}

// Runs kPlugGetInfo and one render pass over the whole clip that renders the plan's frames,
// frame after frame: an output buffer from the writer, the plug-in's frame in it, the frame
// queued for the writer. A recycled buffer is not cleared: the plug-in draws the whole of
// frameRect, here the whole buffer, whenever it answers kPluginOK, so an earlier frame could
// show only through a plug-in that answered so without drawing.
PassResult RunPass(const RenderJob& job, const hosts::LoadedBundle& bundle, hosts::video::FrameSource& source,
                   const ClipPlan& plan, hosts::video::EncodeBehind& encoder) {
    PassRec pass(source);
    PassResult result;
    if (!BeginPass(job, bundle, plan, pass, result.error)) return {kExitPluginFailed, result.error};
    Progress progress(plan.end - plan.first, !job.quiet, job.progressFd);
    for (int r = plan.first; r < plan.end && result.status == kExitOK; ++r) {
        if (Interrupted()) {
            result = {kExitInterrupted, "interrupted; no output written"};
            break;
        }
        std::unique_ptr<hosts::video::ArgbImage> out = encoder.TakeBuffer(plan.width, plan.height);
        if (!RenderFrame(bundle, pass, r, *out, result)) break;
        KeepStill(job, plan, pass, r, *out, result);
        EncodeFrame(job, pass, encoder, r, std::move(out), result);
        progress.Update(r + 1 - plan.first);
    }
    progress.Finish();
    std::string terminateError;
    if (!CallPlugin(bundle, pass.params, kPlugTerminate, terminateError) && result.status == kExitOK)
        result = {kExitPluginFailed, terminateError};
    return result;
}

// Writes the before/after still once the video is complete, when this process rendered its
// frame; a still that cannot be made fails the command but leaves the video in place.
int WriteStill(const RenderJob& job, const ClipPlan& plan, const PassResult& pass) {
    int stillFrame = plan.frameCount / 2;
    if (job.stillPath.empty() || stillFrame < plan.first || stillFrame >= plan.end) return kExitOK;
    std::string error = pass.stillError;
    if (pass.before && pass.after && WriteBeforeAfter(job.stillPath, *pass.before, *pass.after, error)) {
        if (!job.quiet && isatty(STDERR_FILENO))
            std::fprintf(stderr, "%s: before and after: %s\n", Who(job).c_str(), job.stillPath.c_str());
        return kExitOK;
    }
    return Fail(job, "no before/after still " + job.stillPath + " (" +
                         (error.empty() ? "its frame was not rendered" : error) + "); the video " +
                         job.output + " is complete");
}

// The output's kind and encoders, checked as far as the options alone allow.
std::optional<int> ChooseOutput(const RenderJob& job, hosts::video::OutputSpec& spec) {
    using namespace hosts::video;
    std::string error;
    auto kind = OutputKindFor(job.output, error);
    if (!kind) return UsageError("render", error);
    spec.path = job.output;
    spec.kind = *kind;
    const EncoderRequest& e = job.encoder;
    if (spec.kind == OutputKind::kPngSequence) {
        if (!e.codec.empty() || !e.pixFmt.empty() || e.crf || e.bitrate || e.lossless)
            return UsageError(
                "render", "numbered PNG files take no --codec, --pix-fmt, --crf, --bitrate or --lossless");
        if (job.segment) return UsageError("render", "a segment is written into a PIECE.mkv");
        return std::nullopt;
    }
    if (job.segment && std::filesystem::path(job.output).extension() != ".mkv")
        return UsageError("render", "a segment is written into a Matroska PIECE.mkv, not " + job.output);
    auto encoder = ChooseEncoder(job.output, e, error);
    if (!encoder) return UsageError("render", error);
    spec.encoder = *encoder;
    spec.encoder.threads = job.threads;
    return std::nullopt;
}

// The clip's frames and the output's size, checked against the clip.
std::optional<int> PlanClip(const RenderJob& job, const OpenedClip& clip, ClipPlan& plan) {
    using namespace hosts::video;
    const ClipInfo& info = clip.frames->Info();
    int frameCount = job.frames.value_or(info.frameCount - job.start);
    if (job.start >= info.frameCount || frameCount < 1 || int64_t(job.start) + frameCount > info.frameCount)
        return Fail(job, "frames " + std::to_string(job.start) + ".." +
                             std::to_string(int64_t(job.start) + std::max(frameCount, 1) - 1) +
                             " are beyond " + clip.name + ", which has " + std::to_string(info.frameCount) +
                             " frames");
    if (!job.size && (info.width > kMaxFrameSide || info.height > kMaxFrameSide))
        return Fail(job, clip.name + " is larger than 4095 pixels on a side; choose a smaller --size");
    if (job.segment && job.segment->n > frameCount)
        return Fail(job, "--segment " + std::to_string(job.segment->k) + "/" +
                             std::to_string(job.segment->n) + ": the clip has only " +
                             std::to_string(frameCount) + " frames");
    plan.frameCount = frameCount;
    plan.width = job.size ? job.size->first : info.width;
    plan.height = job.size ? job.size->second : info.height;
    plan.rate = info.frameRate;
    plan.first = 0;
    plan.end = frameCount;
    if (job.segment) {
        auto [first, count] = SegmentRange(*job.segment, frameCount);
        plan.first = first;
        plan.end = first + count;
    }
    return std::nullopt;
}

// What becomes of the clip's audio: nothing (proxy renders, PNG files, clips without it),
// encoded with the video, or encoded by the join of the pieces, at full level.
enum class AudioUse { kNone, kEncoded, kJoined };

// The clip's audio for the output, or null (and the output without audio).
std::unique_ptr<hosts::video::AudioSource> OpenAudioFor(const RenderJob& job, const OpenedClip& clip,
                                                        hosts::video::OutputSpec& spec) {
    std::string error;
    auto audio = clip.OpenAudio(job.start, error);
    if (audio)
        spec.audio = clip.frames->Info().audio;
    else if (!error.empty())
        std::fprintf(stderr, "%s: leaving the audio out: %s\n", Who(job).c_str(), error.c_str());
    return audio;
}

// Loads the bundle and renders the plan's frames into the output the writer settings describe.
int RenderFrames(const RenderJob& job, const OpenedClip& clip, const ClipPlan& plan,
                 hosts::video::OutputSpec spec, AudioUse audioUse) {
    using namespace hosts::video;
    std::string error;
    hosts::BlockLedger ledger;
    hosts::TrackBlocks(&ledger);
    struct StopTracking {
        ~StopTracking() { hosts::TrackBlocks(nullptr); }
    } stopTracking;
    hosts::LoadedBundle bundle = hosts::LoadedBundle::Open(job.bundle, error);
    if (!bundle.IsLoaded()) return Fail(job, error);
    std::error_code ec;
    if (job.demo) std::filesystem::create_directories(std::filesystem::path(job.output).parent_path(), ec);
    spec.width = plan.width;
    spec.height = plan.height;
    spec.frameRate = plan.rate;
    std::unique_ptr<AudioSource> audio;
    if (audioUse == AudioUse::kEncoded) audio = OpenAudioFor(job, clip, spec);
    CatchInterrupts();
    if (!VideoWriter::Check(spec, error)) return Fail(job, error);
    std::unique_ptr<VideoWriter> writer = VideoWriter::Open(spec, error);
    if (!writer) return Fail(job, error);
    EncodeBehind encoder(std::move(writer), std::move(audio), spec.audio, plan.rate, kQueueDepth);
    PassResult pass = RunPass(job, bundle, *clip.frames, plan, encoder);
    if (pass.status == kExitOK && audioUse == AudioUse::kJoined && pass.oddLevelFrame >= 0)
        pass = {kExitPluginFailed, "the plug-in did not mix the audio of frame " +
                                       std::to_string(pass.oddLevelFrame) +
                                       " at full level, which the join cannot keep; render the clip in one "
                                       "process (--jobs 1)"};
    if (pass.status == kExitOK && !encoder.Finish(pass.error)) pass.status = kExitFailure;
    if (job.debugBlocks) ReportBlocks(job, ledger);
    if (pass.status != kExitOK) return Fail(job, pass.error, pass.status);
    if (!job.quiet && isatty(STDERR_FILENO))
        std::fprintf(stderr, "%s: %d frames of %s to %s\n", Who(job).c_str(), plan.end - plan.first,
                     clip.name.c_str(), job.output.c_str());
    return WriteStill(job, plan, pass);
}

// One segment into a piece: skipped when a complete piece of the same render is there.
int RenderSegment(const RenderJob& job, const RenderSettings& settings, const OpenedClip& clip,
                  const ClipPlan& plan, hosts::video::OutputSpec spec) {
    using namespace hosts::video;
    const ClipInfo& info = clip.frames->Info();
    PieceRecord record;
    record.clip = ClipIdentity(job.input, info);
    record.render = RenderIdentity(job, plan.frameCount, plan.width, plan.height, info.frameRate);
    record.settings = nlohmann::ordered_json::parse(settings.Description());
    record.encoder = spec.encoder.Describe();
    bool withAudio = !job.proxy && info.audio.present;
    record.audio = withAudio ? "clip" : "none";
    record.segment = *job.segment;
    record.first = plan.first;
    record.count = plan.end - plan.first;
    PieceFileInfo existing;
    std::string error;
    if (std::filesystem::exists(job.output) && ReadPieceFile(job.output, existing, error) &&
        existing.record == record.ToText() && int(existing.times.size()) == record.count) {
        if (!job.quiet)
            std::fprintf(stderr, "%s: %s is complete already\n", Who(job).c_str(), job.output.c_str());
        return kExitOK;
    }
    spec.muxer = "matroska";
    spec.tags = {{kPieceTag, record.ToText()}};
    return RenderFrames(job, clip, plan, spec, withAudio ? AudioUse::kJoined : AudioUse::kNone);
}

} // namespace

int RunRender(const std::vector<std::string>& args) {
    using namespace hosts::video;
    RenderJob job;
    if (auto status = ReadRenderJob(args, job)) return *status;
    OutputSpec spec;
    if (auto status = ChooseOutput(job, spec)) return *status;
    SetMediaLogging(job.verbose);
    SetDecodeThreads(job.threads);

    std::string error;
    auto settings = RenderSettings::Prepare(job.settingsFile, job.change, error);
    if (!settings) return Fail(job, error);
    auto clip = OpenClip(job.input, error);
    if (!clip) return Fail(job, error);
    ClipPlan plan;
    if (auto status = PlanClip(job, *clip, plan)) return *status;
    if (job.segment) return RenderSegment(job, *settings, *clip, plan, spec);
    int processes = std::min(job.jobs, plan.frameCount);
    if (processes > 1 && spec.kind == OutputKind::kVideoFile)
        return RenderInSegments(job, *settings, *clip, spec, plan.frameCount, processes);
    bool withAudio =
        !job.proxy && spec.kind != OutputKind::kPngSequence && clip->frames->Info().audio.present;
    return RenderFrames(job, *clip, plan, spec, withAudio ? AudioUse::kEncoded : AudioUse::kNone);
}

} // namespace cli

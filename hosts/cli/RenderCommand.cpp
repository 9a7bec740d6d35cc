// `umbrawash render`: one render pass of the plug-in over a clip, written to a video file
// or numbered PNG files. Frames are decoded ahead and encoded behind on their own threads;
// the plug-in is called on this thread only, one call at a time.
#include "RenderCommand.h"

#include "CommandLine.h"
#include "common/HostProcs.h"
#include "Progress.h"
#include "RenderSettings.h"
#include "RenderSupport.h"
#include "video/EncodeBehind.h"
#include "video/MediaInput.h"
#include "video/VideoHost.h"

#include "toolbox/QuickDraw.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <unistd.h>

namespace cli {

const char* const kRenderUsage =
    "usage: umbrawash render [INPUT] OUTPUT [options]\n"
    "       umbrawash render                 (the demo: see below)\n"
    "\n"
    "Renders frames of INPUT through the plug-in, as a video editor renders a clip with the\n"
    "effect applied, and writes them to OUTPUT. Without INPUT the built-in clip is rendered\n"
    "(five seconds of generated 720x480 video at 29.97 fps with a tone). With no arguments at\n"
    "all, the built-in clip is rendered with 30-frame fades to out/demo.mp4, and a still of a\n"
    "frame before and after the effect goes to out/demo-before-after.png.\n"
    "\n"
    "INPUT   any video the FFmpeg libraries read: files, image sequences (in_%04d.png),\n"
    "        single images\n"
    "OUTPUT  .mp4 .mov .mkv   H.264 (yuv420p), with the clip's audio as AAC\n"
    "        .mkv .nut        with --lossless: FFV1 in bgra, bit-exact, alpha kept\n"
    "        out_%04d.png     numbered PNG files from 1, lossless\n"
    "\n"
    "  --start N       first frame of the clip in INPUT (default 0)\n"
    "  --frames N      frames in the clip (default: to the end of INPUT)\n"
    "  --fade-in N     frames over which the effect comes in (default 0)\n"
    "  --fade-out N    frames over which it goes out (default 0)\n"
    "  --proxy         proxy render: small frames at low quality, no audio\n"
    "  --size WxH      output size (default: INPUT's); frames are scaled to it\n"
    "  --lossless      FFV1 output (.mkv or .nut)\n"
    "  --crf N         H.264 quality, 0 (lossless) to 51 (default 18)\n"
    "  --red N, --green N, --blue N\n"
    "                  inversion amount of a channel in percent, 0..100, for this render\n"
    "  --rect L,T,R,B  the effect rectangle relative to the frame, each 0..1, for this render\n"
    "  --settings FILE take the configuration from FILE, a settings file as `umbrawash settings`\n"
    "                  and the dialog write (default: the saved configuration)\n"
    "  --quiet         no progress line\n"
    "  --verbose       let the FFmpeg libraries report more than errors\n"
    "  --debug-blocks  report the plug-in's memory blocks at the end\n"
    "  --bundle DIR    the plug-in bundle (default: Umbrawash.bundle beside this program)\n"
    "\n"
    "The output appears only when complete: it is written beside OUTPUT and renamed at the\n"
    "end, and removed on failure or Ctrl-C. The saved configuration is only read: the\n"
    "render works on a private copy of it (or of --settings FILE) with its own changes.\n"
    "Exit status: 0 done, 1 input or output failed, 2 usage, 3 the plug-in failed, 130 interrupted.\n"
    "\n"
    "examples:\n"
    "  umbrawash render\n"
    "  umbrawash render holiday.mp4 holiday-inverted.mp4 --fade-in 15 --fade-out 15\n"
    "  umbrawash render in_%04d.png out_%04d.png --start 10 --frames 50\n"
    "  umbrawash render clip.mkv exact.mkv --lossless --size 640x360\n";

namespace {

constexpr int kDemoFades = 30;
constexpr int kQueueDepth = 4;

struct RenderJob {
    std::optional<std::string> input;
    std::string output;
    int start = 0;
    std::optional<int> frames;
    int fadeIn = 0, fadeOut = 0;
    bool proxy = false, lossless = false, quiet = false, verbose = false, debugBlocks = false;
    std::optional<std::pair<int, int>> size;
    int crf = 18;
    std::string bundle;
    std::string stillPath; // the demo's before/after still
    std::optional<std::string> settingsFile;
    SettingsChange change;
};

int Usage(const std::string& why) {
    std::fprintf(stderr, "umbrawash render: %s\n%s", why.c_str(), kRenderUsage);
    return kExitUsage;
}

int Fail(const std::string& why) {
    std::fprintf(stderr, "umbrawash render: %s\n", why.c_str());
    return kExitFailure;
}

// Reads the arguments into a job; returns an exit status when there is nothing to render.
std::optional<int> ReadJob(const std::vector<std::string>& args, RenderJob& job) {
    std::string error;
    auto parsed = ParseArgs(args,
                            {{"--proxy", "--lossless", "--quiet", "--verbose", "--debug-blocks", "--help"},
                             {"--start", "--frames", "--fade-in", "--fade-out", "--size", "--crf", "--bundle",
                              "--red", "--green", "--blue", "--rect", "--settings"}},
                            error);
    if (!parsed) return Usage(error);
    if (parsed->Has("--help")) {
        std::fputs(kRenderUsage, stdout);
        return kExitOK;
    }
    const auto& pos = parsed->positional;
    if (pos.size() > 2) return Usage("unexpected argument " + pos[2]);
    bool demo = pos.empty();
    if (pos.size() == 2) job.input = pos[0];
    job.output = demo ? "out/demo.mp4" : pos.back();
    if (demo) {
        job.fadeIn = job.fadeOut = kDemoFades;
        job.stillPath = "out/demo-before-after.png";
    }
    struct CountFlag {
        const char* flag;
        int* target;
    };
    int frames = -1;
    for (CountFlag f : {CountFlag{"--start", &job.start}, CountFlag{"--frames", &frames},
                        CountFlag{"--fade-in", &job.fadeIn}, CountFlag{"--fade-out", &job.fadeOut},
                        CountFlag{"--crf", &job.crf}}) {
        if (auto text = parsed->Value(f.flag)) {
            auto n = ParseCount(*text);
            if (!n) return Usage(std::string(f.flag) + " needs a whole number, not '" + *text + "'");
            *f.target = *n;
        }
    }
    if (frames == 0) return Usage("--frames must be at least 1");
    if (frames > 0) job.frames = frames;
    if (job.crf > 51) return Usage("--crf must be 0..51");
    if (auto text = parsed->Value("--size")) {
        job.size = ParseSize(*text);
        if (!job.size) return Usage("--size needs WIDTHxHEIGHT of 1..4095 each, not '" + *text + "'");
    }
    auto change = ReadSettingsChange(*parsed, error);
    if (!change) return Usage(error);
    job.change = *change;
    job.settingsFile = parsed->Value("--settings");
    job.proxy = parsed->Has("--proxy");
    job.lossless = parsed->Has("--lossless");
    job.quiet = parsed->Has("--quiet");
    job.verbose = parsed->Has("--verbose");
    job.debugBlocks = parsed->Has("--debug-blocks");
    job.bundle = parsed->Value("--bundle").value_or(hosts::DefaultBundlePath());
    return std::nullopt;
}

void ReportBlocks(const hosts::BlockLedger& ledger) {
    long bytes = 0;
    for (const auto& [block, size] : ledger.live)
        bytes += size;
    std::fprintf(
        stderr,
        "umbrawash render: plug-in blocks: %ld handed out, %zu still held (%ld bytes; the plug-in keeps its "
        "configuration while loaded), %ld disposals of unknown blocks\n",
        ledger.handedOut, ledger.live.size(), bytes, ledger.strayDisposals);
}

// Side by side: the frame as it came, and as the plug-in rendered it.
bool WriteBeforeAfter(const std::string& path, const hosts::video::ArgbImage& before,
                      const hosts::video::ArgbImage& after, std::string& error) {
    hosts::video::ArgbImage still;
    int w = before.width, h = before.height;
    still.Allocate(2 * w, h);
    for (int y = 0; y < h; ++y) {
        std::memcpy(still.Row(y), before.Row(y), size_t(w) * 4);
        std::memcpy(still.Row(y) + 4 * w, after.Row(y), size_t(w) * 4);
    }
    return hosts::video::WritePngFile(path, still, error);
}

struct PassResult {
    int status = kExitOK;
    std::string error;
    // The frame for the before/after still, before and after the effect; or why it is missing.
    std::shared_ptr<const hosts::video::ArgbImage> before;
    std::unique_ptr<hosts::video::ArgbImage> after;
    std::string stillError;
};

// Runs kPlugGetInfo and one render pass, frame after frame, queueing each for the writer.
PassResult RunPass(const RenderJob& job, const hosts::LoadedBundle& bundle, hosts::video::FrameSource& source,
                   int frameCount, int width, int height, hosts::video::EncodeBehind& encoder) {
    using namespace hosts::video;
    PassResult pass;
    DecodeAhead frames(source, kQueueDepth);
    VideoHost host(frames, source.Info());
    HYProcs procs = hosts::MakeDefaultProcs();
    host.InstallCallbacks(procs);
    host.filterInfo.fadeInFrames = job.fadeIn;
    host.filterInfo.fadeOutFrames = job.fadeOut;

    HYPluginParams info = hosts::MakeParams(&procs, host.Instance(), kPlugGetInfo);
    info.getInfo2.selectedFrames = frameCount;
    if (!CallPlugin(bundle, info, kPlugGetInfo, pass.error)) return {kExitPluginFailed, pass.error};

    HYPluginParams params = hosts::MakeParams(&procs, host.Instance(), kPlugInitialize);
    params.startFrame = job.start;
    params.frameCount = frameCount;
    params.proxyOnly = job.proxy;
    params.frameRect = Rect{0, 0, SInt16(height), SInt16(width)};
    if (!CallPlugin(bundle, params, kPlugInitialize, pass.error)) {
        std::string ignored;
        CallPlugin(bundle, params, kPlugTerminate, ignored);
        return {kExitPluginFailed, pass.error};
    }

    Progress progress(frameCount, !job.quiet);
    int stillFrame = frameCount / 2;
    for (int r = 0; r < frameCount && pass.status == kExitOK; ++r) {
        if (Interrupted()) {
            pass = {kExitInterrupted, "interrupted; no output written"};
            break;
        }
        std::unique_ptr<ArgbImage> out = encoder.TakeBuffer(width, height);
        // An opaque black frame, so that nothing of an earlier frame shows through.
        const std::uint8_t black[4] = {255, 0, 0, 0};
        std::uint32_t pixel;
        std::memcpy(&pixel, black, 4);
        for (int y = 0; y < height; ++y)
            std::fill_n(reinterpret_cast<std::uint32_t*>(out->Row(y)), width, pixel);
        GWorldPtr world = nullptr;
        Rect bounds = params.frameRect;
        if (NewGWorldFromPtr(&world, k32ARGBPixelFormat, &bounds, nullptr, nullptr, 0,
                             reinterpret_cast<Ptr>(out->pixels.data()), out->rowBytes) != noErr) {
            pass = {kExitFailure, "no memory for an output frame"};
            break;
        }
        params.frame = world;
        params.renderFrame = r;
        bool ok = CallPlugin(bundle, params, kPlugDoFrame, pass.error);
        params.frame = nullptr;
        DisposeGWorld(world);
        if (!ok) {
            pass.status = kExitPluginFailed;
            pass.error += " at frame " + std::to_string(r) + " of the clip";
            if (!host.LastFrameError().empty()) pass.error += " (" + host.LastFrameError() + ")";
            break;
        }
        // The still is no part of the video: a frame that cannot be had for it is noted and
        // the render goes on.
        if (!job.stillPath.empty() && r == stillFrame) {
            pass.after = std::make_unique<ArgbImage>(*out);
            if (!frames.Get(job.start + r, width, height, ScaleQuality::kHigh, pass.before, pass.stillError))
                pass.before.reset();
        }
        int level = host.TakeMixLevel(job.start + r);
        if (pass.status == kExitOK && !encoder.Push(std::move(out), job.proxy ? -1 : level, pass.error))
            pass.status = kExitFailure;
        progress.Update(r + 1);
    }
    progress.Finish();
    std::string terminateError;
    if (!CallPlugin(bundle, params, kPlugTerminate, terminateError) && pass.status == kExitOK)
        pass = {kExitPluginFailed, terminateError};
    return pass;
}

// Writes the before/after still once the video is complete; a still that cannot be made
// fails the command but leaves the video in place.
int WriteStill(const RenderJob& job, const PassResult& pass) {
    if (job.stillPath.empty()) return kExitOK;
    std::string error = pass.stillError;
    if (pass.before && pass.after && WriteBeforeAfter(job.stillPath, *pass.before, *pass.after, error)) {
        if (!job.quiet && isatty(STDERR_FILENO))
            std::fprintf(stderr, "umbrawash render: before and after: %s\n", job.stillPath.c_str());
        return kExitOK;
    }
    std::fprintf(stderr, "umbrawash render: no before/after still %s (%s); the video %s is complete\n",
                 job.stillPath.c_str(), error.empty() ? "its frame was not rendered" : error.c_str(),
                 job.output.c_str());
    return kExitFailure;
}

} // namespace

int RunRender(const std::vector<std::string>& args) {
    using namespace hosts::video;
    RenderJob job;
    if (auto status = ReadJob(args, job)) return *status;
    std::string error;
    auto kind = OutputKindFor(job.output, job.lossless, error);
    if (!kind) return Usage(error);
    SetMediaLogging(job.verbose);

    auto settings = RenderSettings::Prepare(job.settingsFile, job.change, error);
    if (!settings) return Fail(error);
    auto clip = OpenClip(job.input, error);
    if (!clip) return Fail(error);
    const ClipInfo& info = clip->frames->Info();
    int frameCount = job.frames.value_or(info.frameCount - job.start);
    if (job.start >= info.frameCount || frameCount < 1 || int64_t(job.start) + frameCount > info.frameCount)
        return Fail("frames " + std::to_string(job.start) + ".." +
                    std::to_string(int64_t(job.start) + std::max(frameCount, 1) - 1) + " are beyond " +
                    clip->name + ", which has " + std::to_string(info.frameCount) + " frames");
    if (!job.size && (info.width > kMaxFrameSide || info.height > kMaxFrameSide))
        return Fail(clip->name + " is larger than 4095 pixels on a side; choose a smaller --size");
    int width = job.size ? job.size->first : info.width;
    int height = job.size ? job.size->second : info.height;

    hosts::BlockLedger ledger;
    hosts::TrackBlocks(&ledger);
    struct StopTracking {
        ~StopTracking() { hosts::TrackBlocks(nullptr); }
    } stopTracking;
    hosts::LoadedBundle bundle = hosts::LoadedBundle::Open(job.bundle, error);
    if (!bundle.IsLoaded()) return Fail(error);

    if (!job.stillPath.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(std::filesystem::path(job.output).parent_path(), ec);
    }
    OutputSpec spec{job.output, *kind, width, height, info.frameRate, job.crf, {}};
    std::unique_ptr<AudioSource> audio;
    if (!job.proxy && *kind != OutputKind::kPngSequence && info.audio.present) {
        audio = clip->OpenAudio(job.start, error);
        if (audio)
            spec.audio = info.audio;
        else if (!error.empty())
            std::fprintf(stderr, "umbrawash render: leaving the audio out: %s\n", error.c_str());
    }
    CatchInterrupts();
    std::unique_ptr<VideoWriter> writer = VideoWriter::Open(spec, error);
    if (!writer) return Fail(error);
    EncodeBehind encoder(std::move(writer), std::move(audio), spec.audio, info.frameRate, kQueueDepth);
    PassResult pass = RunPass(job, bundle, *clip->frames, frameCount, width, height, encoder);
    if (pass.status == kExitOK && !encoder.Finish(pass.error)) pass.status = kExitFailure;
    if (job.debugBlocks) ReportBlocks(ledger);
    if (pass.status != kExitOK) {
        std::fprintf(stderr, "umbrawash render: %s\n", pass.error.c_str());
        return pass.status;
    }
    if (!job.quiet && isatty(STDERR_FILENO))
        std::fprintf(stderr, "umbrawash render: %d frames of %s to %s\n", frameCount, clip->name.c_str(),
                     job.output.c_str());
    return WriteStill(job, pass);
}

} // namespace cli

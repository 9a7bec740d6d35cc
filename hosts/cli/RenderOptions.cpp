#include "RenderOptions.h"

#include "common/BundleLoader.h"
#include "RenderSupport.h"

#include <cstdio>
#include <sched.h>

namespace cli {

const char* const kRenderUsage =
    "usage: umbrawash render [INPUT] OUTPUT [options]\n"
    "       umbrawash render [INPUT] PIECE.mkv --segment K/N [options]\n"
    "       umbrawash render                 (the demo: see below)\n"
    "\n"
    "Renders frames of INPUT through the plug-in, as a video editor renders a clip with the\n"
    "effect applied, and writes them to OUTPUT. Without INPUT the built-in clip is rendered\n"
    "(five seconds of generated 720x480 video at 29.97 fps with a tone). With no arguments at\n"
    "all, the built-in clip is rendered with 30-frame fades to out/demo.mp4, with a still of a\n"
    "frame before and after the effect in out/demo-before-after.png.\n"
    "\n"
    "INPUT   any video the FFmpeg libraries read: files, image sequences (in_%04d.png),\n"
    "        single images\n"
    "OUTPUT  a video file, its container chosen by the extension; by default with\n"
    "          .mp4 .mov .mkv  H.264 (libx264, yuv420p, crf 18) and the clip's audio as AAC\n"
    "          .webm           VP9 (libvpx-vp9, crf 31) and Opus\n"
    "          .avi            MPEG-4 part 2 (mpeg4) and MP3\n"
    "          .mxf            MPEG-2 (mpeg2video) and 16-bit PCM at 48 kHz\n"
    "          .nut            FFV1 in bgra (bit-exact, alpha kept) and AAC\n"
    "        or numbered PNG files from 1, lossless: out_%04d.png\n"
    "\n"
    "the clip:\n"
    "  --start N       first frame of the clip in INPUT (default 0)\n"
    "  --frames N      frames in the clip (default: to the end of INPUT)\n"
    "  --fade-in N     frames over which the effect comes in (default 0)\n"
    "  --fade-out N    frames over which it goes out (default 0)\n"
    "  --proxy         proxy render: small frames at low quality, no audio\n"
    "  --size WxH      output size (default: INPUT's); frames are scaled to it\n"
    "the effect, for this render only (the saved configuration is only read):\n"
    "  --red N, --green N, --blue N\n"
    "                  inversion amount of a channel in percent, 0..100\n"
    "  --rect L,T,R,B  the effect rectangle relative to the frame, each 0..1 (0,0,1,1: all)\n"
    "  --settings FILE the configuration in FILE, a settings file as `umbrawash settings` and\n"
    "                  the dialog write (default: the saved configuration)\n"
    "encoding:\n"
    "  --codec NAME    the video encoder: any the FFmpeg libraries have (`ffmpeg -encoders`),\n"
    "                  such as libx264, libx265, libvpx-vp9, libaom-av1, ffv1, prores_ks,\n"
    "                  dnxhd (as DNxHR HQ), mpeg4, mpeg2video\n"
    "  --pix-fmt NAME  its pixel format (default: yuv420p where it takes it, bgra for ffv1)\n"
    "  --crf N         constant quality, for encoders that have it (libx264: 0 lossless ..\n"
    "                  51, default 18; libx265 default 28; libvpx-vp9 0..63, default 31)\n"
    "  --bitrate N     video bitrate in bits per second, such as 2500k or 8M\n"
    "  --lossless      FFV1 in bgra, bit-exact, alpha kept (.mkv .nut .mov .avi)\n"
    "processes:\n"
    "  --jobs N        render in N processes side by side, each a segment of the clip, and\n"
    "                  join the pieces without encoding the video again (default: the number\n"
    "                  of cores; 1 renders in this process, as do numbered PNG outputs)\n"
    "  --segment K/N   render only the K-th of N consecutive parts of the clip, as part of the\n"
    "                  whole clip (same fades), into PIECE.mkv for `umbrawash join`; a\n"
    "                  complete piece of the same render at PIECE is kept, not made again\n"
    "  --report-progress FD\n"
    "                  write the number of frames done to file descriptor FD, a line at a time\n"
    "others:\n"
    "  --still FILE    also write the clip's middle frame before and after the effect side by\n"
    "                  side, as a PNG file (with --segment: the segment that holds the frame)\n"
    "  --quiet         no progress line\n"
    "  --verbose       let the FFmpeg libraries report more than errors\n"
    "  --debug-blocks  report the plug-in's memory blocks at the end\n"
    "  --bundle DIR    the plug-in bundle (default: Umbrawash.bundle beside this program)\n"
    "\n"
    "An encoder and container that do not go together are refused before anything is\n"
    "rendered. The output appears only when complete: it is written beside OUTPUT and renamed\n"
    "at the end, and removed on failure or Ctrl-C; an existing file of that name stays until\n"
    "then. Every render works on a private copy of the configuration.\n"
    "Exit status: 0 done, 1 input or output failed, 2 usage, 3 the plug-in failed, 130 interrupted.\n"
    "\n"
    "examples:\n"
    "  umbrawash render\n"
    "  umbrawash render holiday.mp4 holiday-inverted.mp4 --fade-in 15 --fade-out 15\n"
    "  umbrawash render holiday.mp4 holiday.mov --codec prores_ks --red 50 --rect 0,0,0.5,1\n"
    "  umbrawash render in_%04d.png out_%04d.png --start 10 --frames 50\n"
    "  umbrawash render clip.mkv exact.mkv --lossless --size 640x360 --jobs 8\n"
    "  umbrawash render clip.mkv pieces/3.mkv --segment 3/8 --lossless\n";

namespace {

constexpr int kDemoFades = 30;

const FlagSpec kRenderFlags = {{"--proxy", "--lossless", "--quiet", "--verbose", "--debug-blocks", "--help"},
                               {"--start", "--frames", "--fade-in", "--fade-out", "--size", "--crf",
                                "--bundle", "--red", "--green", "--blue", "--rect", "--settings", "--codec",
                                "--pix-fmt", "--bitrate", "--jobs", "--segment", "--report-progress",
                                "--still"}};

int Usage(const std::string& why) {
    return UsageError("render", why);
}

int CoreCount() {
    cpu_set_t cpus;
    if (sched_getaffinity(0, sizeof cpus, &cpus) == 0) return std::max(CPU_COUNT(&cpus), 1);
    return 1;
}

// "K/N" with 1 <= K <= N.
std::optional<SegmentRec> ParseSegment(const std::string& text) {
    auto slash = text.find('/');
    if (slash == std::string::npos) return std::nullopt;
    auto k = ParseCount(text.substr(0, slash)), n = ParseCount(text.substr(slash + 1));
    if (!k || !n || *k < 1 || *k > *n) return std::nullopt;
    return SegmentRec{*k, *n};
}

// The whole numbers of the clip's options.
std::optional<int> ReadCounts(const ParsedArgs& parsed, RenderJob& job) {
    struct CountFlag {
        const char* flag;
        int* target;
    };
    int frames = -1, jobs = -1;
    for (CountFlag f : {CountFlag{"--start", &job.start}, CountFlag{"--frames", &frames},
                        CountFlag{"--fade-in", &job.fadeIn}, CountFlag{"--fade-out", &job.fadeOut},
                        CountFlag{"--jobs", &jobs}, CountFlag{"--report-progress", &job.progressFd}}) {
        if (auto text = parsed.Value(f.flag)) {
            auto n = ParseCount(*text);
            if (!n) return Usage(std::string(f.flag) + " needs a whole number, not '" + *text + "'");
            *f.target = *n;
        }
    }
    if (frames == 0) return Usage("--frames must be at least 1");
    if (frames > 0) job.frames = frames;
    if (jobs == 0) return Usage("--jobs must be at least 1");
    job.jobs = jobs > 0 ? jobs : CoreCount();
    return std::nullopt;
}

std::optional<int> ReadEncoding(const ParsedArgs& parsed, RenderJob& job) {
    auto& e = job.encoder;
    e.codec = parsed.Value("--codec").value_or("");
    e.pixFmt = parsed.Value("--pix-fmt").value_or("");
    e.lossless = parsed.Has("--lossless");
    if (auto text = parsed.Value("--crf")) {
        char* end = nullptr;
        double crf = std::strtod(text->c_str(), &end);
        if (text->empty() || *end || !(crf >= 0)) return Usage("--crf needs a number, not '" + *text + "'");
        e.crf = crf;
    }
    if (auto text = parsed.Value("--bitrate")) {
        e.bitrate = hosts::video::ParseBitrate(*text);
        if (!e.bitrate)
            return Usage("--bitrate needs bits per second such as 800k or 8M, not '" + *text + "'");
    }
    return std::nullopt;
}

} // namespace

std::optional<int> ReadRenderJob(const std::vector<std::string>& args, RenderJob& job) {
    std::string error;
    auto parsed = ParseArgs(args, kRenderFlags, error);
    if (!parsed) return Usage(error);
    if (parsed->Has("--help")) {
        std::fputs(kRenderUsage, stdout);
        return kExitOK;
    }
    job.args = *parsed;
    const auto& pos = parsed->positional;
    if (pos.size() > 2) return Usage("unexpected argument " + pos[2]);
    bool demo = job.demo = pos.empty();
    if (pos.size() == 2) job.input = pos[0];
    job.output = demo ? "out/demo.mp4" : pos.back();
    if (demo) {
        job.fadeIn = job.fadeOut = kDemoFades;
        job.stillPath = "out/demo-before-after.png";
    }
    if (auto status = ReadCounts(*parsed, job)) return status;
    if (auto status = ReadEncoding(*parsed, job)) return status;
    if (auto text = parsed->Value("--size")) {
        job.size = ParseSize(*text);
        if (!job.size) return Usage("--size needs WIDTHxHEIGHT of 1..4095 each, not '" + *text + "'");
    }
    if (auto text = parsed->Value("--segment")) {
        job.segment = ParseSegment(*text);
        if (!job.segment) return Usage("--segment needs K/N with 1 <= K <= N, not '" + *text + "'");
        if (demo) return Usage("--segment needs a PIECE.mkv to write");
        if (parsed->Has("--jobs")) return Usage("--segment is one process; it takes no --jobs");
        job.jobs = 1;
    }
    auto change = ReadSettingsChange(*parsed, error);
    if (!change) return Usage(error);
    job.change = *change;
    job.settingsFile = parsed->Value("--settings");
    if (auto still = parsed->Value("--still")) job.stillPath = *still;
    job.proxy = parsed->Has("--proxy");
    job.quiet = parsed->Has("--quiet");
    job.verbose = parsed->Has("--verbose");
    job.debugBlocks = parsed->Has("--debug-blocks");
    job.bundle = parsed->Value("--bundle").value_or(hosts::DefaultBundlePath());
    return std::nullopt;
}

std::vector<std::string> SegmentOptions(const ParsedArgs& args) {
    // The segments get these from the job itself, as it stands after the defaults.
    static const std::set<std::string> kOwnFlags = {
        "--jobs",   "--segment", "--report-progress", "--still", "--quiet",   "--red",      "--green",
        "--blue",   "--rect",    "--settings",        "--codec", "--pix-fmt", "--lossless", "--start",
        "--frames", "--fade-in", "--fade-out"};
    std::vector<std::string> options;
    for (const auto& flag : args.switches)
        if (!kOwnFlags.count(flag)) options.push_back(flag);
    for (const auto& [flag, value] : args.values)
        if (!kOwnFlags.count(flag)) options.insert(options.end(), {flag, value});
    return options;
}

} // namespace cli

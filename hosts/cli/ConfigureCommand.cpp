// `umbrawash configure`: presses the plug-in's button as the editor does, over a real clip,
// so the user edits the effect in its dialog: in a real window when there is a display,
// else (or with --script) headless from a script of input steps.
#include "ConfigureCommand.h"

#include "CommandLine.h"
#include "common/HostProcs.h"
#include "RenderSupport.h"
#include "video/MediaInput.h"
#include "video/VideoHost.h"

#include "toolbox/InputSources.h"
#include "toolbox/QuickDraw.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace cli {

const char* const kConfigureUsage =
    "usage: umbrawash configure [INPUT] [--start N] [--frames N] [--script FILE]\n"
    "                           [--screenshots DIR] [--bundle DIR]\n"
    "\n"
    "Opens the effect's configuration dialog on a clip, as the editor's button does: a\n"
    "preview of the clip with the effect, the rectangle to drag, the amounts, the clip\n"
    "position and the video standard. OK saves the configuration that the next\n"
    "'umbrawash render' uses; Cancel leaves it as it was.\n"
    "\n"
    "  INPUT            the clip (default: the built-in clip)\n"
    "  --start N        the clip's first frame in INPUT (default 0)\n"
    "  --frames N       the clip's length (default: to the end of INPUT)\n"
    "  --script FILE    run headless from the input steps in FILE instead of a window\n"
    "  --screenshots DIR  headless only: save the dialog as DIR/opened.png when it opens;\n"
    "                   'screenshot NAME' steps with a relative NAME write into DIR\n"
    "  --verbose        let the FFmpeg libraries report more than errors\n"
    "  --bundle DIR     the plug-in bundle (default: Umbrawash.bundle beside this program)\n"
    "\n"
    "Without a display and without --script the dialog opens headless and is cancelled.\n"
    "\n"
    "Exit status: 0 done, 1 input failed, 2 usage, 3 the plug-in failed.\n"
    "\n"
    "examples:\n"
    "  umbrawash configure holiday.mp4 --start 100 --frames 250\n"
    "  umbrawash configure holiday.mp4 --script steps.txt --screenshots shots/\n";

namespace {

int Usage(const std::string& why) {
    return UsageError("configure", why);
}

int Fail(int status, const std::string& why) {
    std::fprintf(stderr, "umbrawash configure: %s\n", why.c_str());
    return status;
}

// The script's steps, with relative screenshot paths placed in dir and a first screenshot
// of the dialog as it opens.
std::string ScriptSteps(const std::string& text, const std::string& dir) {
    if (dir.empty()) return text;
    std::ostringstream out;
    out << "screenshot " << (std::filesystem::path(dir) / "opened.png").string() << "\n";
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        const std::string verb = "screenshot ";
        if (line.rfind(verb, 0) == 0 && std::filesystem::path(line.substr(verb.size())).is_relative())
            line = verb + (std::filesystem::path(dir) / line.substr(verb.size())).string();
        out << line << "\n";
    }
    return out.str();
}

bool ChooseInput(const ParsedArgs& parsed, std::string& error) {
    const auto script = parsed.Value("--script");
    const std::string dir = parsed.Value("--screenshots").value_or("");
    if (!dir.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(dir, ec);
        if (ec) {
            error = "cannot make " + dir + ": " + ec.message();
            return false;
        }
    }
    if (script) {
        std::ifstream file(*script);
        if (!file) {
            error = "cannot read the script " + *script;
            return false;
        }
        std::stringstream text;
        text << file.rdbuf();
        return toolbox::UseScriptText(ScriptSteps(text.str(), dir), error);
    }
    if (dir.empty() && toolbox::UseWindowInput(error)) return true;
    std::fprintf(stderr, "umbrawash configure: no window (%s); running headless\n",
                 error.empty() ? "screenshots asked for" : error.c_str());
    return toolbox::UseScriptText(ScriptSteps("", dir), error);
}

// One frame of the clip through a render pass, so the plug-in knows the clip's start and
// length as it does in the editor once the clip has played.
bool RenderFirstFrame(const hosts::LoadedBundle& bundle, HYProcs& procs, void* instance, int start, int count,
                      int width, int height, std::string& error) {
    HYPluginParams params = hosts::MakeParams(&procs, instance, kPlugInitialize);
    params.startFrame = start;
    params.frameCount = count;
    params.frameRect = Rect{0, 0, SInt16(height), SInt16(width)};
    if (!CallPlugin(bundle, params, kPlugInitialize, error)) return false;
    GWorldPtr world = nullptr;
    bool ok = NewGWorld(&world, 32, &params.frameRect, nullptr, nullptr, 0) == noErr;
    if (!ok) error = "no memory for a frame";
    if (ok) {
        params.frame = world;
        params.renderFrame = 0;
        ok = CallPlugin(bundle, params, kPlugDoFrame, error);
        params.frame = nullptr;
        DisposeGWorld(world);
    }
    std::string terminateError;
    if (!CallPlugin(bundle, params, kPlugTerminate, terminateError) && ok) {
        error = terminateError;
        ok = false;
    }
    return ok;
}

} // namespace

int RunConfigure(const std::vector<std::string>& args) {
    using namespace hosts::video;
    std::string error;
    auto parsed = ParseArgs(
        args, {{"--help", "--verbose"}, {"--start", "--frames", "--script", "--screenshots", "--bundle"}},
        error);
    if (!parsed) return Usage(error);
    if (parsed->Has("--help")) {
        std::fputs(kConfigureUsage, stdout);
        return kExitOK;
    }
    if (parsed->positional.size() > 1) return Usage("takes at most one INPUT");
    int start = 0;
    std::optional<int> frames;
    for (const char* flag : {"--start", "--frames"}) {
        if (auto text = parsed->Value(flag)) {
            auto n = ParseCount(*text);
            if (!n) return Usage(std::string(flag) + " needs a whole number, not '" + *text + "'");
            (std::string(flag) == "--start" ? start : frames.emplace()) = *n;
        }
    }
    SetMediaLogging(parsed->Has("--verbose"));

    std::optional<std::string> input;
    if (!parsed->positional.empty()) input = parsed->positional[0];
    auto clip = OpenClip(input, error);
    if (!clip) return Fail(kExitFailure, error);
    const ClipInfo& info = clip->frames->Info();
    const int count = frames.value_or(info.frameCount - start);
    if (start >= info.frameCount || count < 1 || int64_t(start) + count > info.frameCount)
        return Fail(kExitFailure, "frames " + std::to_string(start) + " to " +
                                      std::to_string(int64_t(start) + std::max(count, 1) - 1) +
                                      " are beyond " + clip->name + ", which has " +
                                      std::to_string(info.frameCount) + " frames");
    if (!ChooseInput(*parsed, error)) return Fail(kExitFailure, error);

    hosts::LoadedBundle bundle =
        hosts::LoadedBundle::Open(parsed->Value("--bundle").value_or(hosts::DefaultBundlePath()), error);
    if (!bundle.IsLoaded()) return Fail(kExitFailure, error);
    DecodeAhead decoded(*clip->frames, 0);
    VideoHost host(decoded, info);
    HYProcs procs = hosts::MakeDefaultProcs();
    host.InstallCallbacks(procs);
    HYPluginParams describe = hosts::MakeParams(&procs, host.Instance(), kPlugGetInfo);
    describe.getInfo2.selectedFrames = count;
    if (!CallPlugin(bundle, describe, kPlugGetInfo, error)) return Fail(kExitPluginFailed, error);
    const int width = std::min(info.width, 4095), height = std::min(info.height, 4095);
    if (!RenderFirstFrame(bundle, procs, host.Instance(), start, count, width, height, error))
        return Fail(kExitPluginFailed, error);

    // The click: frame numbers are absolute, as the plug-in adds the clip's start itself.
    HYPluginParams click = hosts::MakeParams(&procs, host.Instance(), kPlugCustomButtonClick);
    click.startFrame = 0;
    click.renderFrame = 0;
    click.frameCount = count;
    if (!CallPlugin(bundle, click, kPlugCustomButtonClick, error)) return Fail(kExitPluginFailed, error);
    if (toolbox::ScriptFailures() > 0) return Fail(kExitFailure, "the script's checks failed");
    return kExitOK;
}

} // namespace cli

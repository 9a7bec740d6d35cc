// `umbrawash placeholder`: the plug-in renders the clip's thumbnail frame in a pass of its
// own (kPlugFilePlaceHolder), and the command writes it as a PNG file.
#include "CommandLine.h"
#include "common/HostProcs.h"
#include "RenderCommand.h"
#include "RenderSettings.h"
#include "RenderSupport.h"
#include "video/MediaInput.h"
#include "video/VideoHost.h"
#include "video/VideoWriter.h"

#include "toolbox/QuickDraw.h"

#include <cstdio>
#include <filesystem>

namespace cli {

const char* const kPlaceholderUsage =
    "usage: umbrawash placeholder INPUT OUTPUT.png [--thumb N] [--size WxH] [--bundle DIR]\n"
    "\n"
    "Asks the plug-in for the placeholder picture a video editor shows for a clip with the\n"
    "effect: frame N of INPUT (the thumbnail offset), rendered with the effect, written as\n"
    "a PNG file.\n"
    "\n"
    "  --thumb N     the frame to show (default 0)\n"
    "  --size WxH    picture size (default: INPUT's)\n"
    "  --verbose     let the FFmpeg libraries report more than errors\n"
    "  --bundle DIR  the plug-in bundle (default: Umbrawash.bundle beside this program)\n"
    "\n"
    "Exit status: 0 done, 1 input or output failed, 2 usage, 3 the plug-in failed.\n"
    "\n"
    "example:\n"
    "  umbrawash placeholder holiday.mp4 holiday-thumb.png --thumb 48 --size 320x180\n";

namespace {

int Usage(const std::string& why) {
    return UsageError("placeholder", why);
}

int Fail(int status, const std::string& why) {
    std::fprintf(stderr, "umbrawash placeholder: %s\n", why.c_str());
    return status;
}

} // namespace

int RunPlaceholder(const std::vector<std::string>& args) {
    using namespace hosts::video;
    std::string error;
    auto parsed = ParseArgs(args, {{"--help", "--verbose"}, {"--thumb", "--size", "--bundle"}}, error);
    if (!parsed) return Usage(error);
    if (parsed->Has("--help")) {
        std::fputs(kPlaceholderUsage, stdout);
        return kExitOK;
    }
    if (parsed->positional.size() != 2) return Usage("needs INPUT and OUTPUT.png");
    const std::string& input = parsed->positional[0];
    const std::string& output = parsed->positional[1];
    if (std::filesystem::path(output).extension() != ".png")
        return Usage("OUTPUT must be a .png file: " + output);
    int thumb = 0;
    if (auto text = parsed->Value("--thumb")) {
        auto n = ParseCount(*text);
        if (!n) return Usage("--thumb needs a whole number, not '" + *text + "'");
        thumb = *n;
    }
    std::optional<std::pair<int, int>> size;
    if (auto text = parsed->Value("--size")) {
        size = ParseSize(*text);
        if (!size) return Usage("--size needs WIDTHxHEIGHT of 1..4095 each, not '" + *text + "'");
    }
    SetMediaLogging(parsed->Has("--verbose"));

    // Like a render, the placeholder leaves the saved configuration as it is.
    auto settings = RenderSettings::Prepare(std::nullopt, {}, error);
    if (!settings) return Fail(kExitFailure, error);
    auto clip = OpenClip(input, error);
    if (!clip) return Fail(kExitFailure, error);
    const ClipInfo& info = clip->frames->Info();
    if (thumb >= info.frameCount)
        return Fail(kExitFailure, "frame " + std::to_string(thumb) + " is beyond " + input + ", which has " +
                                      std::to_string(info.frameCount) + " frames");
    if (!size && (info.width > kMaxFrameSide || info.height > kMaxFrameSide))
        return Fail(kExitFailure, input + " is larger than 4095 pixels on a side; choose a smaller --size");
    int width = size ? size->first : info.width;
    int height = size ? size->second : info.height;

    hosts::LoadedBundle bundle =
        hosts::LoadedBundle::Open(parsed->Value("--bundle").value_or(hosts::DefaultBundlePath()), error);
    if (!bundle.IsLoaded()) return Fail(kExitFailure, error);

    DecodeAhead frames(*clip->frames, 0);
    VideoHost host(frames, info);
    HYProcs procs = hosts::MakeDefaultProcs();
    host.InstallCallbacks(procs);
    HYPluginParams describe = hosts::MakeParams(&procs, host.Instance(), kPlugGetInfo);
    describe.getInfo2.selectedFrames = info.frameCount;
    if (!CallPlugin(bundle, describe, kPlugGetInfo, error)) return Fail(kExitPluginFailed, error);

    ArgbImage picture;
    picture.Allocate(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.Row(y)[4 * x] = 255;
    GWorldPtr world = nullptr;
    Rect bounds{0, 0, SInt16(height), SInt16(width)};
    if (NewGWorldFromPtr(&world, k32ARGBPixelFormat, &bounds, nullptr, nullptr, 0,
                         reinterpret_cast<Ptr>(picture.pixels.data()), picture.rowBytes) != noErr)
        return Fail(kExitFailure, "no memory for the picture");
    HYPluginParams params = hosts::MakeParams(&procs, host.Instance(), kPlugFilePlaceHolder);
    params.getInfo.bestThumbOffset = thumb;
    params.startFrame = 0;
    params.frameCount = info.frameCount;
    params.frameRect = bounds;
    params.frame = world;
    bool ok = CallPlugin(bundle, params, kPlugFilePlaceHolder, error);
    DisposeGWorld(world);
    if (!ok) return Fail(kExitPluginFailed, error);
    if (!WritePngFile(output, picture, error)) return Fail(kExitFailure, error);
    return kExitOK;
}

} // namespace cli

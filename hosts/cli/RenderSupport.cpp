#include "RenderSupport.h"

#include "common/HostProcs.h"
#include "video/GeneratedClip.h"
#include "video/MediaInput.h"

#include <csignal>

namespace cli {

namespace {
volatile std::sig_atomic_t lgInterrupted = 0;
void NoteInterrupt(int) {
    lgInterrupted = 1;
}
} // namespace

std::optional<int> ParseCount(const std::string& text) {
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    return std::stoi(text);
}

std::optional<std::pair<int, int>> ParseSize(const std::string& text) {
    auto x = text.find('x');
    if (x == std::string::npos) return std::nullopt;
    auto w = ParseCount(text.substr(0, x));
    auto h = ParseCount(text.substr(x + 1));
    if (!w || !h || *w < 1 || *h < 1 || *w > hosts::video::kMaxFrameSide || *h > hosts::video::kMaxFrameSide)
        return std::nullopt;
    return std::make_pair(*w, *h);
}

std::unique_ptr<hosts::video::AudioSource> OpenedClip::OpenAudio(int first, std::string& error) const {
    if (auto* media = dynamic_cast<hosts::video::MediaInput*>(frames.get()))
        return media->OpenAudio(first, error);
    if (auto* generated = dynamic_cast<hosts::video::GeneratedClip*>(frames.get()))
        return generated->OpenAudio(first);
    return {};
}

std::optional<OpenedClip> OpenClip(const std::optional<std::string>& input, std::string& error) {
    OpenedClip clip;
    if (!input) {
        clip.frames = std::make_unique<hosts::video::GeneratedClip>();
        clip.name = "the built-in clip";
        return clip;
    }
    clip.frames = hosts::video::MediaInput::Open(*input, error);
    if (!clip.frames) return std::nullopt;
    clip.name = *input;
    return clip;
}

bool CallPlugin(const hosts::LoadedBundle& bundle, HYPluginParams& params, HYPluginSelector selector,
                std::string& error) {
    static const char* const selectorNames[] = {"",
                                                "kPlugGetInfo",
                                                "kPlugInitialize",
                                                "kPlugDrawIcon",
                                                "kPlugDrawThumbNail",
                                                "kPlugFilePlaceHolder",
                                                "kPlugDoFrame",
                                                "kPlugCallOnceWithInitAndTerminate",
                                                "kPlugTerminate",
                                                "kPlugCustomButtonClick"};
    params.selector = selector;
    int result = bundle.Call(0, &params);
    if (result == kPluginOK) return true;
    error = std::string("the plug-in answered ") + selectorNames[selector <= 9 ? selector : 0] + " with " +
            hosts::DescribeResult(result);
    return false;
}

bool Interrupted() {
    return lgInterrupted != 0;
}

void CatchInterrupts() {
    struct sigaction action {};
    action.sa_handler = NoteInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

} // namespace cli

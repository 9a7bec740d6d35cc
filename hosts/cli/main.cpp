// umbrawash: the command-line host of the Umbrawash plug-in.
#include "CommandLine.h"
#include "ConfigureCommand.h"
#include "InfoCommand.h"
#include "JoinCommand.h"
#include "RenderCommand.h"
#include "SettingsCommand.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char* const kUsage =
    "usage: umbrawash <command> [options]\n"
    "\n"
    "Umbrawash inverts the colours inside a rectangle of every video frame. This command\n"
    "loads the Umbrawash plug-in bundle and drives it as a video editor would.\n"
    "\n"
    "commands:\n"
    "  info         describe the plug-in as the editor sees it\n"
    "  render       render a clip through the plug-in into a video file or PNG frames\n"
    "  join         join the pieces of a render in segments into one video file\n"
    "  placeholder  render the placeholder picture of a clip into a PNG file\n"
    "  settings     show, reset or set the saved configuration of the effect\n"
    "  configure    edit the effect in its dialog on a clip, as the editor's button does\n"
    "\n"
    "Run 'umbrawash <command> --help' for the options of a command.\n";

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty())
        return cli::UsageError("", "which command? info, render, join, placeholder, settings or configure");
    std::string command = args.front();
    args.erase(args.begin());
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kUsage, stdout);
        return cli::kExitOK;
    }
    if (command == "info") return cli::RunInfo(args);
    if (command == "render") return cli::RunRender(args);
    if (command == "join") return cli::RunJoin(args);
    if (command == "placeholder") return cli::RunPlaceholder(args);
    if (command == "settings") return cli::RunSettings(args);
    if (command == "configure") return cli::RunConfigure(args);
    return cli::UsageError("", "unknown command '" + command + "'");
}

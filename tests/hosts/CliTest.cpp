// The umbrawash command run as a user runs it.
#include "MediaFiles.h"
#include "TestPaths.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

using testpaths::RunUmbrawash;

TEST(Cli, InfoDescribesTheBundleAsAFilter) {
    auto run = RunUmbrawash("info --json --bundle " + testpaths::Bundle());
    ASSERT_EQ(run.status, 0) << run.out;
    auto doc = nlohmann::json::parse(run.out);
    EXPECT_EQ(doc["bundle"], "com.quorvel.vantrel.umbrawash");
    EXPECT_EQ(doc["typeCode"], 105);
    EXPECT_EQ(doc["sliders"].size(), 3u);
    run = RunUmbrawash("info --bundle /nonexistent/Some.bundle");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("/nonexistent/Some.bundle"), std::string::npos);
}

TEST(Cli, UsageErrorsSayWhatIsWrongAndPointToTheHelp) {
    struct Case {
        const char *args, *says, *help;
    };
    for (Case c :
         {Case{"", "umbrawash: which command?", "umbrawash --help"},
          Case{"frobnicate", "umbrawash: unknown command 'frobnicate'", "umbrawash --help"},
          Case{"info --frob", "umbrawash info: unknown option --frob", "umbrawash info --help"},
          Case{"info --bundle", "umbrawash info: --bundle needs a value", "umbrawash info --help"},
          Case{"render --jobs 0", "umbrawash render: --jobs must be at least 1", "umbrawash render --help"},
          Case{"join x.mkv", "umbrawash join: needs the pieces", "umbrawash join --help"},
          Case{"settings set --red 101", "umbrawash settings: --red", "umbrawash settings --help"},
          Case{"placeholder in.mp4", "umbrawash placeholder: needs", "umbrawash placeholder --help"},
          Case{"configure a b", "umbrawash configure: takes at most", "umbrawash configure --help"}}) {
        auto run = RunUmbrawash(c.args);
        EXPECT_EQ(run.status, 2) << c.args;
        // Two lines: what is wrong, and where the help is.
        EXPECT_EQ(run.out.rfind(c.says, 0), 0u) << run.out;
        EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 2) << run.out;
        EXPECT_NE(run.out.find("Try '" + std::string(c.help) + "' for more information.\n"),
                  std::string::npos)
            << run.out;
    }
}

namespace {

std::string PrefsFile() {
    return std::string(std::getenv("XDG_CONFIG_HOME")) + "/zorlt-Prefs";
}

nlohmann::json ShowSettings() {
    return nlohmann::json::parse(RunUmbrawash("settings show --json").out);
}

} // namespace

// set changes the fields it is given and keeps the others; a bad value names its flag, exits
// with 2 and changes nothing; reset stores the defaults.
TEST(Cli, SettingsSetAndResetChangeTheSavedOnesAndBadValuesChangeNothing) {
    std::remove(PrefsFile().c_str());
    auto show = ShowSettings();
    EXPECT_EQ(show["saved"], false);
    ASSERT_EQ(RunUmbrawash("settings set --red 30 --green 0 --blue 100 --rect 0.25,0.5,0.75,1 --standard hd "
                           "--keep-proportions yes")
                  .status,
              0);
    ASSERT_EQ(RunUmbrawash("settings set --blue 5").status, 0);
    show = ShowSettings();
    const auto set =
        nlohmann::json::parse(R"({"saved": true, "red": 30, "green": 0, "blue": 5, "standard": "hd",
        "keepProportions": true, "rect": {"left": 0.25, "top": 0.5, "right": 0.75, "bottom": 1.0}})");
    for (const auto& [key, value] : set.items())
        EXPECT_EQ(show[key], value) << key;
    EXPECT_NE(RunUmbrawash("settings show").out.find("red                30 %"), std::string::npos);

    const std::string before = mediafiles::ReadAll(PrefsFile());
    struct Case {
        const char* args;
        const char* named;
    };
    for (Case c : {Case{"--red 101", "--red"}, Case{"--green -1", "--green"}, Case{"--blue 5x", "--blue"},
                   Case{"--red 30 --blue 50.5", "--blue"}, Case{"--rect 0,0,1", "--rect"},
                   Case{"--rect 0.5,0,0.5,1", "--rect"}, Case{"--rect 0,0,1,1.5", "--rect"},
                   Case{"--rect 0,0,nan,1", "--rect"}, Case{"--standard secam", "--standard"},
                   Case{"--keep-proportions maybe", "--keep-proportions"}}) {
        auto run = RunUmbrawash(std::string("settings set ") + c.args);
        EXPECT_EQ(run.status, 2) << c.args;
        EXPECT_NE(run.out.find(c.named), std::string::npos) << c.args << ": " << run.out;
    }
    for (const char* args :
         {"settings", "settings set", "settings frob", "settings show --red 3", "settings reset x"})
        EXPECT_EQ(RunUmbrawash(args).status, 2) << args;
    EXPECT_EQ(mediafiles::ReadAll(PrefsFile()), before);

    ASSERT_EQ(RunUmbrawash("settings reset").status, 0);
    show = ShowSettings();
    EXPECT_EQ(show["red"], 100);
    EXPECT_EQ(show["standard"], "ntsc");
}

// The tests' main: every test program keeps its settings in a fresh preferences folder of
// its own, so no test reads or changes the user's configuration.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <unistd.h>

int main(int argc, char** argv) {
    std::string dir = "/tmp/umbrawash-test-XXXXXX";
    if (!mkdtemp(dir.data())) return 1;
    setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    setenv("HOME", dir.c_str(), 1);
    // Windows stay headless unless a test asks for a display of its own.
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    testing::InitGoogleTest(&argc, argv);
    testing::FLAGS_gtest_death_test_style = "threadsafe";
    int result = RUN_ALL_TESTS();
    std::string cleanup = "rm -rf '" + dir + "'";
    if (std::system(cleanup.c_str()) != 0) return result == 0 ? 1 : result;
    return result;
}

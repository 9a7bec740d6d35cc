// The frei0r filter as a frei0r host meets it: loaded from the build with dlopen, driven
// through its f0r_* functions only, its frames compared with the effect's formula.
extern "C" {
#include <frei0r.h>
}

#include "EffectOracle.h"
#include "TestPaths.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <limits>
#include <random>
#include <thread>
#include <vector>

namespace {

// Effect settings as the filter's parameters carry them: amounts in percent, the rectangle
// as left, top, right, bottom fractions.
using Settings = oracle::EffectRec;

std::vector<uint32_t> RandomFrame(int width, int height, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<uint32_t> frame(size_t(width) * height);
    for (uint32_t& p : frame)
        p = rng();
    return frame;
}

// Mismatching pixels of a rendered frame.
int CountWrong(const std::vector<uint32_t>& in, const std::vector<uint32_t>& out, int width, int height,
               const Settings& s) {
    std::vector<uint32_t> want = in;
    oracle::Apply(s, reinterpret_cast<uint8_t*>(want.data()), width, height, long(width) * 4, 0);
    int wrong = 0;
    for (size_t i = 0; i < in.size(); ++i)
        wrong += out[i] != want[i];
    return wrong;
}

const Settings kDefaults = {100, 100, 100, 0.0, 0.0, 1.0, 1.0};

// The filter as a frei0r host meets it, loaded afresh for every test.
class Frei0rFilter : public testing::Test {
  protected:
    void* handle = nullptr;

    template <typename F>
    F Sym(const char* name) {
        return reinterpret_cast<F>(dlsym(handle, name));
    }
#define F0R(fn) Sym<decltype(&fn)>(#fn)

    void SetUp() override {
        handle = dlopen((testpaths::BuildDir() + "/frei0r-1/umbrawash.so").c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle, nullptr) << dlerror();
        ASSERT_EQ(F0R(f0r_init)(), 1);
    }
    void TearDown() override {
        if (!handle) return;
        F0R(f0r_deinit)();
        dlclose(handle);
    }
    double Get(f0r_instance_t inst, int index) {
        double value = -1.0;
        F0R(f0r_get_param_value)(inst, &value, index);
        return value;
    }
    void Set(f0r_instance_t inst, int index, double value) {
        F0R(f0r_set_param_value)(inst, &value, index);
    }
    // The eight parameters in the filter's order, as values or as read from an instance.
    static std::vector<double> Values(const Settings& s, double useSaved = 0.0) {
        return {s.red / 100.0, s.green / 100.0, s.blue / 100.0, s.left, s.top, s.right, s.bottom, useSaved};
    }
    std::vector<double> Params(f0r_instance_t inst) {
        std::vector<double> values;
        for (int i = 0; i < 8; ++i)
            values.push_back(Get(inst, i));
        return values;
    }
    void SetAll(f0r_instance_t inst, const Settings& s) {
        for (int i = 0; i < 8; ++i)
            Set(inst, i, Values(s)[size_t(i)]);
    }
    std::vector<uint32_t> Render(f0r_instance_t inst, const std::vector<uint32_t>& in) {
        std::vector<uint32_t> out(in.size());
        F0R(f0r_update)(inst, 0.0, in.data(), out.data());
        return out;
    }
};

// Its description, its parameters' defaults (nothing saved), and values clamped as hosts
// pass them on unchecked; sizes it cannot hold get no instance, and a null instance or frame
// does nothing. The filter's name, kind and colour model, and its parameters' names and types,
// are what the frei0r hosts' tests load it and set them by.
TEST_F(Frei0rFilter, DescribesItselfClampsItsParametersAndStartsFromTheSavedSettings) {
    f0r_plugin_info_t info{};
    F0R(f0r_get_plugin_info)(&info);
    EXPECT_EQ(info.num_params, 8);
    EXPECT_NE(std::strstr(info.explanation, "fade"), nullptr);
    f0r_instance_t inst = F0R(f0r_construct)(8, 8);
    ASSERT_NE(inst, nullptr);
    EXPECT_EQ(Params(inst), Values(kDefaults));
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        int index;
        double set, get;
    } cases[] = {{0, -0.5, 0.0},         {1, 1.7, 1.0}, {3, -inf, 0.0}, {6, inf, 1.0}, {4, 0.4, 0.4},
                 {4, std::nan(""), 0.4}, {7, 0.5, 1.0}, {7, 0.2, 0.0},  {8, 0.5, -1.0}};
    for (const Case& c : cases) {
        Set(inst, c.index, c.set);
        EXPECT_EQ(Get(inst, c.index), c.get) << c.index << " set to " << c.set;
    }
    // Clamped values render as the clamped ones.
    Settings s = {0, 100, 25, 0.0, 0.4, 1.0, 1.0};
    SetAll(inst, s);
    Set(inst, 0, -3.0);
    Set(inst, 1, 9.0);
    Set(inst, 5, 2.0);
    auto in = RandomFrame(8, 8, 9);
    EXPECT_EQ(CountWrong(in, Render(inst, in), 8, 8, s), 0);
    F0R(f0r_destruct)(inst);

    EXPECT_EQ(F0R(f0r_construct)(0, 10), nullptr);
    EXPECT_EQ(F0R(f0r_construct)(10, 0), nullptr);
    EXPECT_EQ(F0R(f0r_construct)(4096, 10), nullptr);
    Set(nullptr, 0, 0.5);
    EXPECT_EQ(Get(nullptr, 0), -1.0);
    Render(nullptr, in);
    F0R(f0r_destruct)(nullptr);

    // Once settings are saved a new instance starts from them (the filter reads them when it
    // is first used, so it is loaded afresh); its own parameters apply to its frames only and
    // never reach the saved ones, which it renders when asked.
    const Settings saved = {30, 50, 100, 0.25, 0.1, 0.75, 0.6};
    const std::string set =
        testpaths::Umbrawash() + " settings set --red 30 --green 50 --rect 0.25,0.1,0.75,0.6";
    ASSERT_EQ(std::system(set.c_str()), 0);
    F0R(f0r_deinit)();
    ASSERT_EQ(F0R(f0r_init)(), 1);
    inst = F0R(f0r_construct)(37, 23);
    EXPECT_EQ(Params(inst), Values(saved));
    in = RandomFrame(37, 23, 3);
    SetAll(inst, kDefaults);
    EXPECT_EQ(CountWrong(in, Render(inst, in), 37, 23, kDefaults), 0);
    Set(inst, 7, 1.0);
    EXPECT_EQ(CountWrong(in, Render(inst, in), 37, 23, saved), 0);
    F0R(f0r_destruct)(inst);
}

// Hosts render with one instance per thread at once; each keeps its own size and settings
// and renders the formula exactly: odd sizes, the widest frame, frames whose pixel counts end
// at different places of the vector conversion's blocks, a rectangle inside the frame,
// amounts that need rounding to whole percent (0.29 × 100 is a hair below 29), alpha outside
// the rectangle kept; in place as well.
TEST_F(Frei0rFilter, InstancesOnSeveralThreadsEachRenderTheirOwnSettingsExactly) {
    struct Case {
        int width, height;
        Settings settings;
    };
    const Case cases[4] = {{37, 23, {29, 57, 0, 0.2, 0.15, 0.9, 0.85}},
                           {1, 1, {10, 20, 30, 0.0, 0.0, 1.0, 1.0}},
                           {4095, 2, {0, 0, 0, 0.1, 0.1, 0.2, 0.9}},
                           {21, 12, {77, 33, 99, 0.0, 0.3, 0.6, 1.0}}};
    std::array<int, 4> wrong{};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            const Case& c = cases[t];
            f0r_instance_t inst = F0R(f0r_construct)(c.width, c.height);
            SetAll(inst, c.settings);
            for (int f = 0; f < 6; ++f) {
                auto in = RandomFrame(c.width, c.height, unsigned(t * 100 + f));
                auto out = Render(inst, in);
                wrong[t] += CountWrong(in, out, c.width, c.height, c.settings);
                F0R(f0r_update)(inst, 0.0, in.data(), in.data());
                wrong[t] += in != out;
            }
            F0R(f0r_destruct)(inst);
        });
    for (auto& th : threads)
        th.join();
    for (int t = 0; t < 4; ++t)
        EXPECT_EQ(wrong[t], 0) << cases[t].width << "x" << cases[t].height;
}
#undef F0R

} // namespace

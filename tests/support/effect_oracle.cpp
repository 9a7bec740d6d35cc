// The effect's expectation for tests written in other languages: reads raw frames of
// WIDTH x HEIGHT pixels on standard input and writes what the effect makes of them.
//
//   effect_oracle WIDTH HEIGHT rgba|argb RED GREEN BLUE LEFT TOP RIGHT BOTTOM < in > out
#include "EffectOracle.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 11) {
        std::fprintf(stderr,
                     "usage: effect_oracle WIDTH HEIGHT rgba|argb RED GREEN BLUE LEFT TOP RIGHT BOTTOM\n");
        return 2;
    }
    int width = std::atoi(argv[1]), height = std::atoi(argv[2]);
    std::string order = argv[3];
    oracle::EffectRec e{std::atoi(argv[4]), std::atoi(argv[5]), std::atoi(argv[6]), std::atof(argv[7]),
                        std::atof(argv[8]), std::atof(argv[9]), std::atof(argv[10])};
    if (width < 1 || height < 1 || (order != "rgba" && order != "argb")) return 2;
    std::vector<std::uint8_t> frame(size_t(width) * size_t(height) * 4);
    while (std::fread(frame.data(), 1, frame.size(), stdin) == frame.size()) {
        oracle::Apply(e, frame.data(), width, height, long(width) * 4, order == "rgba" ? 0 : 1);
        if (std::fwrite(frame.data(), 1, frame.size(), stdout) != frame.size()) return 1;
    }
    return 0;
}

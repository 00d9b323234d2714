// fuzz/setting_replay.cpp -- runs the saved inputs of the setting-reader fuzzer (fuzz/setting-corpus) as a
// test of every build, with or without libFuzzer.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "SettingDriver.h"

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "cannot read %s\n", argv[i]);
            return 2;
        }
        const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        runSettingInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
    std::printf("replayed %d inputs\n", argc - 1);
    return 0;
}

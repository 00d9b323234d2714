// fuzz/Replay.h -- the body of the replay programs: each argument is one saved input, run through a
// fuzzer's driver, so inputs that once failed stay regression tests in every build, with or without
// libFuzzer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

namespace qx::fuzz {

using Driver = void (*)(const std::uint8_t* data, std::size_t size);

inline int replayFiles(int argc, char** argv, Driver run) {
    for (int i = 1; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "cannot read %s\n", argv[i]);
            return 2;
        }
        const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        run(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
    std::printf("replayed %d inputs\n", argc - 1);
    return 0;
}

} // namespace qx::fuzz

// fuzz/api_fuzz.cpp -- libFuzzer entry of the C-interface fuzzer (built with clang, QX_BUILD_FUZZ=ON).
#include "ApiDriver.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    runApiProgram(data, size);
    return 0;
}

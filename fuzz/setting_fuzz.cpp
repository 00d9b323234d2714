// fuzz/setting_fuzz.cpp -- libFuzzer entry of the setting-reader fuzzer (built with clang, QX_BUILD_FUZZ=ON).
#include "SettingDriver.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    runSettingInput(data, size);
    return 0;
}

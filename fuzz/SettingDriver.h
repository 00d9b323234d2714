// fuzz/SettingDriver.h -- one input of the setting-reader fuzzer: two bytes of storage flags and mode, then a
// document that is imported as a new list and written into an existing list from the RAM store.
// Shared by the libFuzzer target and by the replay program that runs saved inputs under ctest.
#pragma once

#include <cstddef>
#include <cstdint>

void runSettingInput(const std::uint8_t* data, std::size_t size);

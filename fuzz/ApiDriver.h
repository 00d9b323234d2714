// fuzz/ApiDriver.h -- one input of the C-interface fuzzer: a byte stream read as a program of calls.
// Shared by the libFuzzer target and by the replay program that runs saved inputs as a regression test.
#pragma once

#include <cstddef>
#include <cstdint>

void runApiProgram(const std::uint8_t* data, std::size_t size);

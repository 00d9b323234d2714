// fuzz/tokenizer_fuzz.cpp -- libFuzzer entry for the qxprop shell's command-line tokenizer: any line must
// either split into words or be refused with UsageError, never crash or hang.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "Tokenizer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        (void)qx::shell::tokenize(std::string_view(reinterpret_cast<const char*>(data), size));
    } catch (const qx::shell::UsageError&) {
        // a refused line is an answer
    }
    return 0;
}

// The LZW decoder of the built-in data: any codes into an output of any capacity, and bytes
// through the encoder and back, which must give the same bytes.
// Input: a byte choosing the form; then a capacity and the codes, or a length, a step and the
// pattern of the bytes to encode.
#include "fuzz/fuzz_input.h"
#include "gfx/builtin_data.h"
#include "tools/builtin_data/lzw_encoder.h"

#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_input in{data, size};
    const bool round_trip = in.byte() & 1;
    if (!round_trip) {
        // The output is exactly as large as the capacity claims, so that a write past it shows.
        const int32_t capacity = in.range(0, 3 * 4096);
        std::vector<uint8_t> output(static_cast<size_t>(capacity));
        int32_t count = capacity;
        size_t length;
        const uint8_t* codes = in.bytes(in.size, &length);
        const int32_t result =
            decode_codes(codes, static_cast<int32_t>(length), output.data(), &count);
        if ((result != 0 && result != -1) || count < 0 || count > capacity) std::abort();
        return 0;
    }
    // The bytes to encode: the input's pattern, each repetition raised by a step, up to a
    // length of the input's own, so that long strings and a full dictionary both occur.
    const auto length = static_cast<size_t>(in.range(1, 16384));
    const uint8_t step = in.byte();
    size_t count;
    const uint8_t* pattern = in.bytes(in.size, &count);
    if (count == 0) return 0;
    std::vector<uint8_t> original(length);
    for (size_t i = 0; i < length; ++i)
        original[i] = static_cast<uint8_t>(pattern[i % count] + i / count * step);
    const std::vector<uint8_t> codes = encode_codes(original.data(), original.size());
    std::vector<uint8_t> output(original.size());
    auto decoded = static_cast<int32_t>(output.size());
    const int32_t result =
        decode_codes(codes.data(), static_cast<int32_t>(codes.size()), output.data(), &decoded);
    if (result != 0 || output != original) std::abort();
    return 0;
}

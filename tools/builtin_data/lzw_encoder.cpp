#include "tools/builtin_data/lzw_encoder.h"

namespace {

constexpr int32_t first_free_code = 256;
constexpr int32_t last_free_code = 4094;
constexpr uint16_t end_code = 4095;

std::vector<uint8_t> pack(const std::vector<uint16_t>& codes) {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < codes.size(); i += 2) {
        const uint16_t first = codes[i];
        bytes.push_back(static_cast<uint8_t>(first & 0xFF));
        if (i + 1 == codes.size()) { // an odd last code needs only its own nibble
            bytes.push_back(static_cast<uint8_t>(first >> 8));
            break;
        }
        const uint16_t second = codes[i + 1];
        bytes.push_back(static_cast<uint8_t>((first >> 8) | (second & 0x0F) << 4));
        bytes.push_back(static_cast<uint8_t>(second >> 4));
    }
    return bytes;
}

} // namespace

std::vector<uint8_t> encode_codes(const uint8_t* data, size_t length) {
    std::vector<uint16_t> codes;
    if (length > 0) {
        // The code of (prefix code, next byte), 0 while there is none: no dictionary code is 0.
        std::vector<uint16_t> extension(4096 * 256, 0);
        int32_t next_free = first_free_code;
        uint16_t current = data[0];
        for (size_t i = 1; i < length; ++i) {
            uint16_t& longer = extension[static_cast<size_t>(current) << 8 | data[i]];
            if (longer) {
                current = longer;
                continue;
            }
            codes.push_back(current);
            // The decoder adds the same entry when it reads the code that follows: once the
            // dictionary is full both stop adding.
            if (next_free <= last_free_code) longer = static_cast<uint16_t>(next_free++);
            current = data[i];
        }
        codes.push_back(current);
    }
    codes.push_back(end_code);
    return pack(codes);
}

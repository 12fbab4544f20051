// The encoder of the stored fonts and palettes: LZW with fixed 12-bit codes, the counterpart
// of the library's decode_codes. Codes 0 to 255 are single bytes, 256 to 4094 the dictionary
// in order of creation, 4095 the end; two codes per three bytes, low nibble first.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

std::vector<uint8_t> encode_codes(const uint8_t* data, size_t length);

// An independent view of the run-time's twister for tests: the standard library's MT19937
// loaded with the words of the run-time's linear-congruential seeding, positioned at the end of
// the state so that its first value is the first draw after the seeding.
#pragma once
#include <cstdint>
#include <random>
#include <sstream>

inline std::mt19937 oracle_seeded_with(uint32_t first_word) {
    std::stringstream words;
    uint32_t word = first_word;
    for (int k = 0; k < 624; ++k) {
        words << word << ' ';
        word = word * 1664525u + 1013904223u;
    }
    words << 624;
    std::mt19937 oracle;
    words >> oracle;
    return oracle;
}

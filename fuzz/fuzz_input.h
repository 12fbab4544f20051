// The fuzzer's bytes read as the arguments of a program's calls. Each read takes bytes from the
// front; once they run out every read gives 0, so that any input is a whole sequence of calls.
// (The arguments of one call are read left to right, as clang, which builds the targets, does.)
#pragma once
#include <array>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>

struct fuzz_input {
    const uint8_t* data;
    size_t size;

    bool empty() const { return size == 0; }

    uint8_t byte() {
        if (size == 0) return 0;
        --size;
        return *data++;
    }

    uint32_t u32() {
        uint32_t value = 0;
        for (int shift = 0; shift < 32; shift += 8)
            value |= static_cast<uint32_t>(byte()) << shift;
        return value;
    }

    // A value from low to high (inclusive); one byte when the range is that small.
    int32_t range(int32_t low, int32_t high) {
        const uint32_t span = static_cast<uint32_t>(high) - static_cast<uint32_t>(low) + 1;
        const uint32_t raw = span != 0 && span <= 256 ? byte() : u32();
        return static_cast<int32_t>(static_cast<uint32_t>(low) + (span != 0 ? raw % span : raw));
    }

    // An argument as programs pass them: mostly within low to high, the range a caller means,
    // sometimes a value where arithmetic breaks, sometimes any 32-bit value.
    int32_t argument(int32_t low, int32_t high) {
        // clang-format off
        static constexpr std::array<int32_t, 12> edges = {
            0, -1, 1, INT32_MIN, INT32_MAX, INT32_MIN + 1, INT32_MAX - 1, 65535, 65536, -65536,
            2048, 256};
        // clang-format on
        const uint8_t how = byte();
        if (how < 224) return range(low, high);
        if (how < 248) return edges[how % edges.size()];
        return static_cast<int32_t>(u32());
    }

    // A coordinate: mostly a point near or in a screen of up to extent pixels, in steps of a
    // quarter pixel; sometimes any float, not-a-number and infinities included.
    float coordinate(int32_t extent) {
        if (byte() < 240) return static_cast<float>(range(-16 * 4, (extent + 16) * 4)) / 4.0f;
        const uint32_t bits = u32();
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

    // Up to count bytes from the input (fewer where it ends); *taken says how many.
    const uint8_t* bytes(size_t count, size_t* taken) {
        *taken = count < size ? count : size;
        const uint8_t* start = data;
        data += *taken;
        size -= *taken;
        return start;
    }

    // One of the entries of a table.
    template <typename T, size_t n> const T& pick(const std::array<T, n>& table) {
        return table[byte() % n];
    }
};

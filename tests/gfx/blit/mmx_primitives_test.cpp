#include <gtest/gtest.h>

#include <cpuid.h>

#include <cstring>
#include <vector>

#include "blit_test_screen.h"
#include "gfx/blit/blit.h"
#include "gfx/draw_state.h"

namespace {

constexpr uint8_t untouched = 0xA5;

// Runs fill over count units at an odd offset into a guarded buffer; returns the buffer.
template <typename Fill>
std::vector<uint8_t> guarded_fill(Fill fill, size_t unit, size_t count, uint32_t value) {
    std::vector<uint8_t> memory(3 + unit * count + 16, untouched);
    fill(memory.data() + 3, value, count);
    return memory;
}

std::vector<uint8_t> expected_fill(size_t unit, size_t count, const uint8_t* pattern) {
    std::vector<uint8_t> memory(3 + unit * count + 16, untouched);
    for (size_t i = 0; i < count; ++i)
        std::memcpy(memory.data() + 3 + i * unit, pattern, unit);
    return memory;
}

TEST(MmxFill, StoresExactlyCountUnitsForEveryRemainder) {
    const uint8_t byte[1] = {0x3C};
    const uint8_t half[2] = {0x34, 0x12};
    const uint8_t word[4] = {0x78, 0x56, 0x34, 0x12};
    for (size_t count = 0; count <= 35; ++count) {
        EXPECT_EQ(guarded_fill(mmx_fill8, 1, count, 0xFFFFFF3C), expected_fill(1, count, byte))
            << count;
        EXPECT_EQ(guarded_fill(mmx_fill16, 2, count, 0xABCD1234), expected_fill(2, count, half))
            << count;
        EXPECT_EQ(guarded_fill(mmx_fill32, 4, count, 0x12345678), expected_fill(4, count, word))
            << count;
    }
}

TEST(MmxCopy, CopiesExactlyCountBytesFromAnyOffset) {
    // Every distance from a 16-byte boundary, and runs of whole blocks with every remainder.
    std::vector<uint8_t> source(160);
    for (size_t i = 0; i < source.size(); ++i)
        source[i] = static_cast<uint8_t>(i * 7 + 1);
    for (size_t offset = 0; offset < 16; ++offset) {
        for (size_t count = 0; count <= 150; ++count) {
            std::vector<uint8_t> target(176, untouched);
            mmx_copy(target.data() + offset, source.data() + 1, count);
            for (size_t i = 0; i < target.size(); ++i) {
                const bool inside = i >= offset && i < offset + count;
                const uint8_t want = inside ? source[1 + i - offset] : untouched;
                ASSERT_EQ(target[i], want) << "offset " << offset << " count " << count;
            }
        }
    }
}

// Byte-wise span blend: d + floor((c - d) * a / 256), wrapped to a byte.
uint32_t span_pair_reference(uint32_t d, uint32_t colour) {
    const int32_t a = static_cast<int32_t>(colour >> 24);
    uint32_t result = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const int32_t db = static_cast<int32_t>((d >> shift) & 0xFF);
        const int32_t cb = static_cast<int32_t>((colour >> shift) & 0xFF);
        const int32_t product = (cb - db) * a;
        const int32_t floored = product >= 0 ? product / 256 : -((-product + 255) / 256);
        result |= static_cast<uint32_t>((db + floored) & 0xFF) << shift;
    }
    return result;
}

TEST(MmxBlendSpan, OddFirstPixelWrapsAndPairsBlendEveryByte) {
    uint32_t pixels[4] = {0xFF000000, 0xFF000000, 0xFF000000, untouched};
    mmx_blend_span32(pixels, 0x80FF0000, 3);
    EXPECT_EQ(pixels[0], 0x3F7F0000u);
    EXPECT_EQ(pixels[1], 0xBF7F0000u);
    EXPECT_EQ(pixels[2], 0xBF7F0000u);
    EXPECT_EQ(pixels[3], untouched);
}

TEST(MmxBlendSpan, PairsMatchTheByteFormula) {
    uint32_t state = 99;
    for (int round = 0; round < 500; ++round) {
        // Six pixels: two pairs in one step, then a last pair; the seventh stays untouched.
        uint32_t values[6];
        for (auto& v : values) {
            state = state * 1664525u + 1013904223u;
            v = state;
        }
        state = state * 1664525u + 1013904223u;
        const uint32_t colour = state ^ (state << 7);
        uint32_t pixels[7];
        std::memcpy(pixels, values, sizeof values);
        pixels[6] = untouched;
        mmx_blend_span32(pixels, colour, 6);
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(pixels[i], span_pair_reference(values[i], colour)) << i;
        EXPECT_EQ(pixels[6], untouched);
    }
}

TEST(MmxBlendPixel, WeighsOldAndNewBytes) {
    uint32_t image[2][3] = {{0, 0, 0}, {0, 0xFF000000, 0}};
    uint8_t* lines[2] = {reinterpret_cast<uint8_t*>(image[0]),
                         reinterpret_cast<uint8_t*>(image[1])};
    draw_state state{};
    state.lines = lines;
    mmx_blend_pixel32(&state, 1, 1, 0x80FF0000);
    EXPECT_EQ(image[1][1], 0xBF7F0000u);
    image[0][2] = 0x00FFFFFF;
    mmx_blend_pixel32(&state, 2, 0, 0xFF102030);
    EXPECT_EQ(image[0][2], 0xFE102030u);
    image[0][0] = 0xAABBCCDD;
    mmx_blend_pixel32(&state, 0, 0, 0x00123456);
    EXPECT_EQ(image[0][0], 0xAABBCCDDu);
    EXPECT_EQ(image[1][0], 0u);
    EXPECT_EQ(image[1][2], 0u);
}

// Whether every x87 register is tagged empty, as EMMS leaves them; after MMX code without it
// they read as full and x87 arithmetic fails. The tags are read rather than that failure, which
// an emulator may not reproduce. Not inlined: the calling convention empties the stack at a call.
__attribute__((noinline)) bool x87_registers_empty() {
    uint16_t environment[14]; // fnstenv's 28 bytes; the tag word is the third of its 32-bit fields
    asm volatile("fnstenv %0\n\t"
                 "fldenv %0" // fnstenv masks every exception: put the control word back
                 : "=m"(environment)
                 :
                 : "memory");
    return environment[4] == 0xFFFF;
}

TEST(MmxState, FloatingPointWorksAfterEveryRoutine) {
    // The check itself notices MMX state left behind.
    asm volatile("pxor %%mm0, %%mm0" ::: "mm0");
    EXPECT_FALSE(x87_registers_empty());
    asm volatile("emms");
    ASSERT_TRUE(x87_registers_empty());
    uint32_t pixels[16] = {};
    uint8_t* lines[1] = {reinterpret_cast<uint8_t*>(pixels)};
    draw_state state{};
    state.lines = lines;
    mmx_fill32(pixels, 1, 16);
    EXPECT_TRUE(x87_registers_empty()) << "mmx_fill32";
    mmx_fill16(pixels, 1, 16);
    EXPECT_TRUE(x87_registers_empty()) << "mmx_fill16";
    mmx_fill8(pixels, 1, 16);
    EXPECT_TRUE(x87_registers_empty()) << "mmx_fill8";
    mmx_copy(pixels, pixels + 8, 32);
    EXPECT_TRUE(x87_registers_empty()) << "mmx_copy";
    mmx_blend_span32(pixels, 0x80FFFFFF, 9);
    EXPECT_TRUE(x87_registers_empty()) << "mmx_blend_span32";
    mmx_blend_pixel32(&state, 0, 0, 0x80FFFFFF);
    EXPECT_TRUE(x87_registers_empty()) << "mmx_blend_pixel32";
    for (int32_t source : {8, 16, 32}) {
        for (int32_t display : {15, 16, 24, 32}) {
            for (int32_t rgb_order : {0, 1}) {
                test_screen screen(8, 2, source, 1, true);
                std::vector<uint8_t> surface(8 * 4 * 2);
                select_blitter(display, rgb_order)(surface.data(), 8 * 4);
                EXPECT_TRUE(x87_registers_empty())
                    << source << " to " << display << " order " << rgb_order;
            }
        }
    }
}

TEST(CpuFeatures, ReportsMmxAndTheFamilyFromCpuid) {
    const uint32_t features = cpu_features();
    unsigned int eax = 0;
    unsigned int ebx = 0;
    unsigned int ecx = 0;
    unsigned int edx = 0;
    ASSERT_NE(__get_cpuid(1, &eax, &ebx, &ecx, &edx), 0);
    EXPECT_NE(features & cpu_mmx, 0u); // every x86-64 processor has MMX
    EXPECT_EQ(features >> 28, (eax >> 8) & 0xF);
    EXPECT_EQ(features & 0x000FFFFF, edx & 0x000FFFFF);
    EXPECT_EQ(cpu_features(), features);
}

} // namespace

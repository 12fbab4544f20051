// The stored fonts and palettes: the decoder against the encoder, the expanded glyphs and
// colours, and the committed block against one made again from the console fonts.
#include "gfx/internal/builtin_data.h"
#include "tools/builtin_data/lzw_encoder.h"

#ifdef CLOUDDISK_FONT_GENERATOR
#include "tools/builtin_data/builtin_block.h"
#include <filesystem>
#include <fstream>
#include <sstream>
#endif

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

std::vector<uint8_t> stored_block() {
    return {builtin_stored_block, builtin_stored_block + builtin_stored_size};
}

// Decodes into an output of capacity bytes; the decoder's result, and the bytes it wrote.
int32_t decode(const std::vector<uint8_t>& codes, int32_t capacity, std::vector<uint8_t>* out) {
    out->assign(static_cast<size_t>(capacity), 0xEE);
    int32_t count = capacity;
    const int32_t result =
        decode_codes(codes.data(), static_cast<int32_t>(codes.size()), out->data(), &count);
    out->resize(static_cast<size_t>(count));
    return result;
}

TEST(LzwDecoder, DecodesWhatTheEncoderWrites) {
    std::vector<uint8_t> block;
    ASSERT_EQ(decode(stored_block(), expanded_size, &block), 0);
    EXPECT_EQ(block.size(), static_cast<size_t>(expanded_size));
    EXPECT_EQ(encode_codes(block.data(), block.size()), stored_block());

    std::mt19937 random(812);
    std::vector<uint8_t> run(5000, 'a'); // every code after the first is the one being defined
    std::vector<uint8_t> few_values(60000), any_values(20000);
    for (uint8_t& byte : few_values)
        byte = static_cast<uint8_t>('w' + random() % 4);
    for (uint8_t& byte : any_values)
        byte = static_cast<uint8_t>(random());
    for (const auto* data : {&run, &few_values, &any_values}) {
        const std::vector<uint8_t> codes = encode_codes(data->data(), data->size());
        std::vector<uint8_t> out;
        EXPECT_EQ(decode(codes, static_cast<int32_t>(data->size()), &out), 0);
        EXPECT_TRUE(out == *data) << data->size() << " bytes";
    }
    // Far more than the 3839 codes the dictionary holds: it fills and is then used as it is.
    EXPECT_GT(encode_codes(few_values.data(), few_values.size()).size() * 2 / 3, 8000u);
}

TEST(LzwDecoder, FailuresKeepTheBytesWritten) {
    const std::vector<uint8_t> stored = stored_block();
    std::vector<uint8_t> block;
    ASSERT_EQ(decode(stored, expanded_size, &block), 0);
    std::vector<uint8_t> out;

    // Output one byte too small.
    EXPECT_EQ(decode(stored, expanded_size - 1, &out), -1);
    EXPECT_TRUE(out == std::vector<uint8_t>(block.begin(), block.end() - 1));

    // Input cut in the middle, and input that lacks only its end code: the last two bytes when
    // the end code is alone in its group of three, else the last byte.
    std::vector<uint8_t> half(stored.begin(), stored.begin() + builtin_stored_size / 2);
    EXPECT_EQ(decode(half, expanded_size, &out), -1);
    ASSERT_GT(out.size(), 0u);
    EXPECT_LT(out.size(), block.size());
    EXPECT_TRUE(std::equal(out.begin(), out.end(), block.begin()));
    std::vector<uint8_t> no_end(stored.begin(), stored.end() - (stored.size() % 3 == 2 ? 2 : 1));
    EXPECT_EQ(decode(no_end, expanded_size, &out), -1);
    EXPECT_TRUE(out == block);

    // 'a', then 258 while 256 is the next free code; then 4095.
    EXPECT_EQ(decode({0x61, 0x20, 0x10, 0xFF, 0x0F}, 100, &out), -1);
    EXPECT_EQ(out, std::vector<uint8_t>{'a'});
    // The first code is not a single byte: 256, 4095.
    EXPECT_EQ(decode({0x00, 0xF1, 0xFF}, 100, &out), -1);
    EXPECT_TRUE(out.empty());
    // No room for the first byte.
    EXPECT_EQ(decode(stored, 0, &out), -1);
    EXPECT_TRUE(out.empty());
}

TEST(BuiltinData, GlyphsAndPalettesOfTheExpandedBlock) {
    expand_builtin_data();
    EXPECT_EQ(font8x16()->height, 16u);
    EXPECT_EQ(font8x14()->height, 14u);
    EXPECT_EQ(font8x8()->height, 8u);
    const uint8_t a[8] = {0x0C, 0x1E, 0x33, 0x33, 0x3F, 0x33, 0x33, 0x00};
    EXPECT_EQ(std::memcmp(font8x8()->glyphs + 'A' * 8, a, 8), 0);
    for (const font_desc& font : builtin_fonts) {
        const uint32_t h = font.height;
        for (uint32_t code : {0u, 32u, 255u})
            for (uint32_t row = 0; row < h; ++row)
                EXPECT_EQ(font.glyphs[code * h + row], 0) << h << " " << code << " " << row;
        for (uint32_t row = 0; row < h; ++row)
            EXPECT_EQ(font.glyphs[0xDB * h + row], 0xFF) << h;
        EXPECT_NE(font.glyphs[1 * h + h / 2], 0) << h; // the smiling face
    }

    EXPECT_EQ(palette256()->count, 256u);
    EXPECT_EQ(palette64()->count, 64u);
    EXPECT_EQ(palette16()->count, 16u);
    EXPECT_EQ(palette2()->count, 2u);
    const auto rgb = [](const palette_desc* p, int32_t i) {
        const uint8_t* c = p->colors + 3 * i;
        return std::vector<int32_t>{c[0], c[1], c[2]};
    };
    using colour = std::vector<int32_t>;
    EXPECT_EQ(rgb(palette256(), 17), (colour{20, 20, 20}));
    EXPECT_EQ(rgb(palette256(), 33), (colour{64, 0, 255}));
    EXPECT_EQ(rgb(palette256(), 31), (colour{255, 255, 255}));
    EXPECT_EQ(rgb(palette256(), 247), (colour{44, 48, 64})); // the last hue, 6-bit (11, 12, 16)
    EXPECT_EQ(rgb(palette256(), 248), (colour{0, 0, 0}));
    EXPECT_EQ(std::memcmp(palette256()->colors, palette16()->colors, 48), 0);
    EXPECT_EQ(rgb(palette16(), 6), (colour{170, 85, 0}));
    EXPECT_EQ(rgb(palette64(), 20), (colour{170, 85, 0}));
    EXPECT_EQ(rgb(palette64(), 63), (colour{255, 255, 255}));
    EXPECT_EQ(rgb(palette2(), 1), (colour{255, 255, 255}));

    // Only the first call expands.
    auto* first = const_cast<uint8_t*>(font8x8()->glyphs);
    first[0] = 0x5A;
    expand_builtin_data();
    EXPECT_EQ(first[0], 0x5A);
    first[0] = 0;
}

#ifdef CLOUDDISK_FONT_GENERATOR
TEST(BuiltinData, CommittedBlockIsTheOneMadeFromTheConsoleFonts) {
    if (!std::filesystem::exists(std::string(console_font_directory) + "/alt-8x8.psf.gz"))
        GTEST_SKIP() << "console-data is not installed";
    std::vector<uint8_t> block;
    std::string problem;
    ASSERT_TRUE(build_expanded_block(console_font_directory, &block, &problem)) << problem;
    expand_builtin_data();
    EXPECT_EQ(std::memcmp(block.data(), font8x8()->glyphs, block.size()), 0);
    std::ifstream file(CLOUDDISK_SOURCE_DIR "/gfx/builtin_data_block.cpp", std::ios::binary);
    std::stringstream committed;
    committed << file.rdbuf();
    EXPECT_TRUE(committed.str() == stored_block_source(encode_codes(block.data(), block.size())))
        << "run make-builtin-data gfx/builtin_data_block.cpp";
}
#endif

} // namespace

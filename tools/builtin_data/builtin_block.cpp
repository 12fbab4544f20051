#include "tools/builtin_data/builtin_block.h"

#include <algorithm>
#include <cstdio>
#include <initializer_list>

const char* const console_font_directory = "/usr/share/consolefonts";

namespace {

constexpr int32_t expanded_size = 10742;

// clang-format off
// The PC text colours.
constexpr uint8_t text_colours[16][3] = {
    {  0,   0,   0}, {  0,   0, 170}, {  0, 170,   0}, {  0, 170, 170},
    {170,   0,   0}, {170,   0, 170}, {170,  85,   0}, {170, 170, 170},
    { 85,  85,  85}, { 85,  85, 255}, { 85, 255,  85}, { 85, 255, 255},
    {255,  85,  85}, {255,  85, 255}, {255, 255,  85}, {255, 255, 255},
};
// The 256-entry palette's 6-bit levels: the grey ramp of entries 16 to 31, and the five
// levels of each of the nine hue blocks of entries 32 to 247.
constexpr uint8_t grey_levels[16] = {0, 5, 8, 11, 14, 17, 20, 24, 28, 32, 36, 40, 45, 50, 56, 63};
constexpr uint8_t hue_block_levels[9][5] = {
    { 0, 16, 31, 47, 63}, {31, 39, 47, 55, 63}, {45, 49, 54, 58, 63},
    { 0,  7, 14, 21, 28}, {14, 17, 21, 24, 28}, {20, 22, 24, 26, 28},
    { 0,  4,  8, 12, 16}, { 8, 10, 12, 14, 16}, {11, 12, 13, 15, 16},
};
// clang-format on

uint8_t scale_6_bit(int32_t level) {
    return static_cast<uint8_t>(level * 255 / 63);
}

void add_6_bit(std::vector<uint8_t>& palette, int32_t red, int32_t green, int32_t blue) {
    palette.push_back(scale_6_bit(red));
    palette.push_back(scale_6_bit(green));
    palette.push_back(scale_6_bit(blue));
}

// A block walks the colour wheel from blue: red rises, blue falls, green rises, red falls,
// blue rises, green falls, four steps each, naming levels L1 to L5 by their numbers 0 to 4.
void add_hue_block(std::vector<uint8_t>& palette, const uint8_t (&levels)[5]) {
    constexpr int32_t red = 0, green = 1, blue = 2;
    constexpr int32_t moves[6][2] = {{red, 1},  {blue, -1}, {green, 1},
                                     {red, -1}, {blue, 1},  {green, -1}};
    int32_t at[3] = {0, 0, 4};
    for (const auto& move : moves) {
        for (int32_t step = 0; step < 4; ++step) {
            add_6_bit(palette, levels[at[red]], levels[at[green]], levels[at[blue]]);
            at[move[0]] += move[1];
        }
    }
}

bool read_gzip_file(const std::string& path, std::vector<uint8_t>* bytes) {
    const std::string command = "gzip -dc '" + path + "' 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return false;
    bytes->clear();
    uint8_t buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        bytes->insert(bytes->end(), buffer, buffer + got);
    return pclose(pipe) == 0;
}

uint8_t mirrored(uint8_t row) {
    uint8_t result = 0;
    for (int32_t bit = 0; bit < 8; ++bit)
        if (row & (1 << bit)) result |= static_cast<uint8_t>(0x80 >> bit);
    return result;
}

} // namespace

std::vector<uint8_t> default_palette(int32_t entries) {
    std::vector<uint8_t> palette;
    switch (entries) {
    case 2:
        palette = {0, 0, 0, 255, 255, 255};
        break;
    case 16:
        for (const auto& colour : text_colours)
            palette.insert(palette.end(), colour, colour + 3);
        break;
    case 64:
        for (int32_t i = 0; i < 64; ++i) {
            const auto bit = [i](int32_t n) { return (i >> n) & 1; };
            palette.push_back(static_cast<uint8_t>(170 * bit(2) + 85 * bit(5)));
            palette.push_back(static_cast<uint8_t>(170 * bit(1) + 85 * bit(4)));
            palette.push_back(static_cast<uint8_t>(170 * bit(0) + 85 * bit(3)));
        }
        break;
    case 256:
        palette = default_palette(16);
        for (uint8_t level : grey_levels)
            add_6_bit(palette, level, level, level);
        for (const auto& levels : hue_block_levels)
            add_hue_block(palette, levels);
        palette.resize(256 * 3, 0); // 248 to 255: black
        break;
    default:
        break;
    }
    return palette;
}

bool read_console_font(const std::string& font_directory, int32_t height,
                       std::vector<uint8_t>* glyphs, std::string* problem) {
    const std::string path = font_directory + "/alt-8x" + std::to_string(height) + ".psf.gz";
    std::vector<uint8_t> file;
    if (!read_gzip_file(path, &file)) {
        *problem = "cannot read " + path;
        return false;
    }
    // PSF version 1: magic 0x36 0x04, a mode byte (bit 0: 512 glyphs), the glyph height.
    const size_t glyph_bytes = 256 * static_cast<size_t>(height);
    if (file.size() < 4 + glyph_bytes || file[0] != 0x36 || file[1] != 0x04 || (file[2] & 1) ||
        file[3] != height) {
        *problem = path + " is not a 256-glyph PSF font of height " + std::to_string(height);
        return false;
    }
    glyphs->resize(glyph_bytes);
    // The font's rows have their leftmost pixel in the top bit; the library's in bit 0.
    for (size_t i = 0; i < glyph_bytes; ++i)
        (*glyphs)[i] = mirrored(file[4 + i]);
    // Codes 0, 32 and 255 (the no-break space) are blank; the 8 x 8 font has a mark at 255.
    for (int32_t code : {0, 32, 255})
        std::fill_n(glyphs->begin() + static_cast<std::ptrdiff_t>(code) * height, height, 0);
    return true;
}

bool build_expanded_block(const std::string& font_directory, std::vector<uint8_t>* block,
                          std::string* problem) {
    block->clear();
    for (int32_t height : {8, 14, 16}) {
        std::vector<uint8_t> glyphs;
        if (!read_console_font(font_directory, height, &glyphs, problem)) return false;
        block->insert(block->end(), glyphs.begin(), glyphs.end());
    }
    for (int32_t entries : {2, 16, 64, 256}) {
        const std::vector<uint8_t> palette = default_palette(entries);
        block->insert(block->end(), palette.begin(), palette.end());
    }
    if (block->size() != expanded_size) {
        *problem = "the block has " + std::to_string(block->size()) + " bytes";
        return false;
    }
    return true;
}

std::string stored_block_source(const std::vector<uint8_t>& stored) {
    const std::string size = std::to_string(stored.size());
    std::string source =
        "// The built-in fonts and palettes, LZW-coded: code page 437 glyphs from Debian's\n"
        "// console-data (alt-8x8, alt-8x14, alt-8x16) and the four default palettes. Written by\n"
        "// tools/builtin_data (make-builtin-data); regenerate it rather than edit it.\n"
        "#include \"gfx/internal/builtin_data.h\"\n"
        "\n"
        "const int32_t builtin_stored_size = " +
        size +
        ";\n"
        "\n"
        "// clang-format off\n"
        "const uint8_t builtin_stored_block[" +
        size + "] = {\n";
    char hex[8];
    for (size_t i = 0; i < stored.size(); ++i) {
        if (i % 16 == 0) source += "   ";
        std::snprintf(hex, sizeof hex, " 0x%02X,", stored[i]);
        source += hex;
        if (i % 16 == 15 || i + 1 == stored.size()) source += "\n";
    }
    source += "};\n// clang-format on\n";
    return source;
}

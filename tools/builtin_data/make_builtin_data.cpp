// make-builtin-data OUTPUT [FONT_DIRECTORY]: writes the stored fonts and palettes as the C++
// source OUTPUT (gfx/builtin_data_block.cpp), from the console fonts in FONT_DIRECTORY
// (/usr/share/consolefonts when not given).
#include <cstdio>
#include <string>
#include <vector>

#include "tools/builtin_data/builtin_block.h"
#include "tools/builtin_data/lzw_encoder.h"

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: make-builtin-data OUTPUT [FONT_DIRECTORY]\n");
        return 2;
    }
    std::vector<uint8_t> block;
    std::string problem;
    if (!build_expanded_block(argc == 3 ? argv[2] : console_font_directory, &block, &problem)) {
        std::fprintf(stderr, "make-builtin-data: %s\n", problem.c_str());
        return 1;
    }
    const std::vector<uint8_t> stored = encode_codes(block.data(), block.size());
    const std::string source = stored_block_source(stored);
    FILE* out = std::fopen(argv[1], "wb");
    if (!out || std::fwrite(source.data(), 1, source.size(), out) != source.size() ||
        std::fclose(out) != 0) {
        std::fprintf(stderr, "make-builtin-data: cannot write %s\n", argv[1]);
        return 1;
    }
    std::printf("%s: %zu bytes of codes for %zu bytes\n", argv[1], stored.size(), block.size());
    return 0;
}

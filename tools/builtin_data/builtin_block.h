// The built-in fonts and palettes as the library expands them: the three code page 437 fonts of
// Debian's console-data (PSF version 1, gzip-compressed) and the four default palettes, laid out
// in one 10742-byte block, and the C++ source that carries the block LZW-coded.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The default directory of the fonts alt-8x8.psf.gz, alt-8x14.psf.gz and alt-8x16.psf.gz.
extern const char* const console_font_directory;

// The 2, 16, 64 or 256-entry default palette as red, green, blue bytes.
std::vector<uint8_t> default_palette(int32_t entries);

// 256 glyphs of height rows from font_directory/alt-8x<height>.psf.gz, bit 0 of a row the
// leftmost pixel. False with a reason when the font cannot be read or has another form.
bool read_console_font(const std::string& font_directory, int32_t height,
                       std::vector<uint8_t>* glyphs, std::string* problem);

// The expanded block: 8 x 8, 8 x 14 and 8 x 16 glyphs, then the 2, 16, 64 and 256-entry
// palettes.
bool build_expanded_block(const std::string& font_directory, std::vector<uint8_t>* block,
                          std::string* problem);

// The source file gfx/builtin_data_block.cpp for a stored block.
std::string stored_block_source(const std::vector<uint8_t>& stored);

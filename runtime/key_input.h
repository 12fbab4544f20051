// Keys as text, waiting for a key, and text comparison. While a graphics screen is open the
// keys come from its key buffer (typed in its window); otherwise from the text console. A key
// code is 1 to 255 for a character (code page 437), (e << 8) | 0xFF for an extended key
// (cursor keys 0x48FF up, 0x50FF down, 0x4BFF left, 0x4DFF right; F1 0x3BFF), 0x6BFF for the
// window's close button. Program's thread.
#pragma once
#include <cstdint>

struct text;

// The next waiting key, removed, as a new temporary text: empty when none waits, one character
// for a code 1 to 255, character 255 followed by the code's bits 8 to 15 for a larger code (the
// close button reads as 255 then "k"). Never waits.
text* key_read_text();

// The next key's code, removed; waits for one, looking every 20 ms.
int32_t key_wait();
// 1 when a key waits (it stays waiting), otherwise 0. Never waits.
int32_t key_hit();

// The text of a key code, as key_read_text gives it: one character (the low byte) for a code up
// to 255, character 255 followed by bits 8 to 15 for a larger one. A new temporary.
text* key_text(int32_t code);

// 0 when equal, -1 when a sorts before b, 1 after: bytes compared unsigned, then the shorter
// first. Releases either side that is a temporary; b may be a plain zero-terminated string.
int32_t text_compare(text* a, text* b);
int32_t text_compare(text* a, const char* b);

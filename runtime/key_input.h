// Keys as text, and text comparison.
#pragma once
#include <cstdint>

struct text;

// The next waiting key as a new temporary text: empty when none waits, one character for a
// code 1-255, character 255 followed by the code's bits 8-15 for an extended key. Never waits.
// Prefers the graphics screen's reader whenever one is installed.
text* key_read_text();

// The next waiting key's code, removed: waits for one (20 ms steps), on the open screen or
// else on the console. The screen's form gives 0 when its screen has gone.
int32_t key_wait();
// 1 when a key waits (it stays), on the open screen or else on the console; otherwise 0.
int32_t key_hit();

// The text of a key code: one character (the low byte) for a code up to 255, character 255
// followed by bits 8-15 for a larger one.
text* key_text(int32_t code);

// 0 when equal, -1 when a sorts before b, 1 after. Releases either side that is a temporary.
int32_t text_compare(text* a, text* b);
int32_t text_compare(text* a, const char* b);

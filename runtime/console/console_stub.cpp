// Placeholder until the console is built: no keys, an 80 x 25 screen.
#include "runtime/console/console.h"

int32_t console_key_poll() { return 0; }
int32_t console_key_read() { return -1; }
int32_t key_code_of(int32_t, int32_t, int32_t, uint32_t, int32_t) { return -1; }
void console_state_clear() {}
void text_screen_size(int32_t* columns, int32_t* rows) {
    if (columns) *columns = 80;
    if (rows) *rows = 25;
}
int32_t text_width(int32_t, int32_t) { return 0; }
void text_clear(int32_t) {}
int32_t text_view(int32_t, int32_t, int32_t) { return 0; }
int32_t view_top_row() { return 0; }
int32_t view_bottom_row() { return 24; }
void set_view_rows(int32_t, int32_t) {}
int32_t text_locate(int32_t, int32_t, int32_t) { return 0; }
void view_update() {}

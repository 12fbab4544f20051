#include "gfx/internal/gfx_context.h"

gfx_context* gfx_screen;
uint32_t* expand16_table;

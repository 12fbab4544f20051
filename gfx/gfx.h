// The run-time and the graphics library: everything a program may call, in one include. The
// headers included below are the public ones, with gfx/win32/opengl.h for programs that open an
// OpenGL screen. Every other header, in a subfolder of runtime/ or gfx/, is the library's own and
// may change. docs/library.md walks through a whole program.
//
// Rules that hold for every operation:
//
// Start and end. main first calls runtime_start(), exit_handler_add(runtime_stop) and
// runtime_init(argc, argv, 0), and ends the program with program_end(code). The first screen
// opened registers close_screen to run at exit, so a program need not close its screen.
//
// Error numbers. An operation that can fail returns a 32-bit error number and records it with
// error_set: 0 success, 1 an argument out of range or no display driver, 4 no memory. Nothing
// is printed or thrown and the program goes on; error_number() tells the last number recorded.
// An operation that returns something else (a text, a code, a pointer) says how it fails.
//
// Texts. Operations that produce a text return a temporary (runtime/text.h) that the receiver
// disposes of exactly once: assign it to a text variable (text_assign), or pass it to an
// operation that takes a text, which releases it. A variable passed to an operation is never
// released by it.
//
// No screen open. Printing, the text screen, line input and keys work on the text console
// instead (and on standard input and output where there is none). Graphics operations draw
// nothing and answer 0, -1, null or error 1: each prototype says which.
//
// Coordinates and colours. Pixels count from (0, 0) at the top left, x to the right and y down;
// text cells count from column 1, row 1. A colour is given by the screen's depth: at 32 bits
// (and 24) 0xAARRGGBB; at 16 (and 15) 0xAARRGGBB, stored as 5:6:5; at 8 bits and fewer a pixel
// value, an index into the screen's palette (gfx/palette.h). A new screen's colours are white
// on black: 0xFFFFFFFF on 0xFF000000 at 32 bits, 0xFFFF on 0 at 16, 15 on 0 at 8, and
// 2^depth - 1 on 0 below.
//
// Pages, the screen lock and dirty lines. A screen has one or more pages of pixels: drawing and
// text go to the work page, the visible page is shown. The driver's window thread copies the
// visible page's lines that are marked dirty to the display, about every 10 ms, while it holds
// the screen's lock. Every drawing operation takes the lock and marks the lines it changes on
// the visible page; drawing on a hidden page marks nothing, and showing it marks every line.
// A program that writes pixels itself (screen_ptr) does the same with screen_lock and
// screen_unlock.
//
// Threads. Every operation runs on the program's thread, the one that opens the screen; only
// the mutex operations may be called from any thread. The GDI, DirectDraw and X11 drivers have
// a window thread of their own, which presents the pages and fills the key buffer, the key
// state and the event queue; the OpenGL driver has none, and an OpenGL program calls
// gl_poll_events (gfx/win32/opengl.h) once a frame.
#pragma once

#include "runtime/key_input.h"
#include "runtime/line_input.h"
#include "runtime/mutex.h"
#include "runtime/print.h"
#include "runtime/random.h"
#include "runtime/runtime.h"
#include "runtime/text.h"
#include "runtime/text_screen.h"

#include "gfx/input.h"
#include "gfx/palette.h"
#include "gfx/plotting.h"
#include "gfx/screen.h"
#include "gfx/screen_text.h"

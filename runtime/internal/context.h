// The run-time's process-wide context as the library's own parts see it: the context slots,
// the print column, the file table and the x87 control word.
#pragma once
#include "runtime/runtime.h"

#include <cstddef>
#include <cstdint>

constexpr int32_t context_slot_count = 5;
constexpr int32_t context_slot_error = 0;
constexpr int32_t context_slot_draw_state = 4;

// The record of slot index (0 to 4), allocated zero-filled on first request with size bytes.
// Null for a bad index (error 1) or when the memory is not available (error 4).
void* context_slot(int32_t index, size_t size);

// The number of runtime_start calls not yet matched by runtime_stop.
int32_t runtime_start_count();

// Print column and line width of the run-time's screen output (console and graphics share it).
extern int32_t print_column;
extern int32_t print_width;

// The file table: 255 records; the run-time calls each open record's close at shutdown.
struct file_operations {
    void (*close)(void* file);
};
struct file_record {
    const file_operations* operations; // null: not open
    void* file;
};
constexpr int32_t file_table_size = 255;
// The record of file number index (0 to 254); opening one sets the file flag.
file_record* file_table_entry(int32_t index);
void file_table_opened();

// The x87 control word as it is now (precision bits 8-9, rounding bits 10-11).
uint16_t fpu_control_word();

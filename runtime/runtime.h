// Run-time core: start-up and shutdown, the process-wide context, the run-time error number.
#pragma once
#include <cstddef>
#include <cstdint>

// Run-time error numbers.
constexpr int32_t error_none = 0;
constexpr int32_t error_argument = 1; // argument out of range, or no display driver
constexpr int32_t error_memory = 4;   // memory not available

constexpr int32_t context_slot_count = 5;
constexpr int32_t context_slot_error = 0;
constexpr int32_t context_slot_draw_state = 4;

// Global start-up: counted; only the first call clears the context and sets the x87 FPU to
// 64-bit precision and round-to-nearest.
void runtime_start();
// Global shutdown: counted; the call that brings the count back to 0 closes open files.
void runtime_stop();
// Hands the program's arguments and dialect to the context.
void runtime_init(int argument_count, char** arguments, int32_t dialect);
// Runs the exit handlers in reverse order of registration and ends the process with code.
[[noreturn]] void program_end(int32_t code);
// Registers an exit handler with the platform's exit processing; 0 on success.
int32_t exit_handler_add(void (*handler)());

// The record of slot index (0 to 4), allocated zero-filled on first request with size bytes.
// Null for a bad index (error 1) or when the memory is not available (error 4).
void* context_slot(int32_t index, size_t size);
// The slots' allocator, zero-filling like calloc (its default). Tests replace it to make an
// allocation fail.
extern void* (*context_allocate)(size_t count, size_t size);

// Stores number as the current run-time error number and returns it.
int32_t error_set(int32_t number);
int32_t error_number();

int32_t runtime_start_count();
int32_t runtime_dialect();
int32_t runtime_argument_count();
char** runtime_arguments();

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

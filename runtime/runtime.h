// Run-time core: start-up and shutdown, the program's arguments, the run-time error number.
// Every operation here runs on the program's thread.
#pragma once
#include <cstdint>

// Run-time error numbers: what a failed operation returns and records with error_set.
constexpr int32_t error_none = 0;
constexpr int32_t error_argument = 1; // argument out of range, or no display driver
constexpr int32_t error_memory = 4;   // memory not available

// The run-time's global start-up: the first call clears the run-time's context and sets the
// x87 unit to 64-bit precision and round-to-nearest; later calls only count. Call it first in
// main, then register runtime_stop with exit_handler_add.
void runtime_start();
// The global shutdown: counts the calls of runtime_start down; the call that reaches 0 closes
// the files the run-time keeps open. Nothing is printed.
void runtime_stop();
// Hands the program's arguments to the run-time. dialect (0 for this library's programs)
// chooses the random generator that random_seed(seed, 0) takes: 0 the twister.
void runtime_init(int argument_count, char** arguments, int32_t dialect);
// Ends the program with code: runs the exit handlers in reverse order of registration (the
// screen's close among them once a screen has been opened) and ends the process. Never
// returns.
[[noreturn]] void program_end(int32_t code);
// Registers handler to run when the program ends (program_end, or main returning).
// 0 on success, -1 when the platform's list is full.
int32_t exit_handler_add(void (*handler)());

// Records number as the current run-time error number and returns it. Every run-time and
// graphics operation that reports an error number also records it here; the number stays until
// the next error_set.
int32_t error_set(int32_t number);
// The current run-time error number (0 when nothing failed since it was last set to 0).
int32_t error_number();

// The arguments and dialect given to runtime_init (0 and null before it).
int32_t runtime_dialect();
int32_t runtime_argument_count();
char** runtime_arguments();

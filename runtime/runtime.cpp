#include "runtime/runtime.h"

#include "runtime/console/console.h"
#include "runtime/internal/context.h"
#include "runtime/internal/seams.h"

#include <cstdlib>
#include <cstring>

namespace {

struct error_record {
    int32_t unused;
    int32_t number;
    int32_t rest[5];
};
static_assert(sizeof(error_record) == 28);

struct runtime_context {
    int32_t start_count;
    int32_t argument_count;
    char** arguments;
    int32_t dialect;
    void* slots[context_slot_count];
    file_record files[file_table_size];
    bool file_opened;
};

runtime_context context;

void set_fpu_extended_nearest() {
    // Precision control (bits 8-9) = 11: 64-bit mantissa; rounding control (bits 10-11) = 00.
    uint16_t word = fpu_control_word();
    word = static_cast<uint16_t>((word & ~0x0F00u) | 0x0300u);
    asm volatile("fldcw %0" : : "m"(word));
}

} // namespace

int32_t print_column;
int32_t print_width = 80;

uint16_t fpu_control_word() {
    uint16_t word;
    asm volatile("fnstcw %0" : "=m"(word));
    return word;
}

void runtime_start() {
    if (context.start_count++ != 0) return;
    // The slots are kept until the process ends, so a second start-up after a full stop
    // keeps them rather than leaking them.
    void* slots[context_slot_count];
    std::memcpy(slots, context.slots, sizeof slots);
    context = runtime_context{};
    std::memcpy(context.slots, slots, sizeof slots);
    context.start_count = 1;
    set_fpu_extended_nearest();
    console_state_clear();
}

void runtime_stop() {
    if (context.start_count <= 0) return;
    if (--context.start_count != 0) return;
    if (!context.file_opened) return;
    context.file_opened = false;
    for (int32_t i = 0; i < file_table_size - 1; ++i) {
        file_record& record = context.files[i];
        if (record.operations && record.operations->close) record.operations->close(record.file);
    }
    std::memset(context.files, 0, sizeof context.files);
}

void runtime_init(int argument_count, char** arguments, int32_t dialect) {
    context.argument_count = argument_count;
    context.arguments = arguments;
    context.dialect = dialect;
}

void program_end(int32_t code) { std::exit(code); }

int32_t exit_handler_add(void (*handler)()) { return std::atexit(handler) == 0 ? 0 : -1; }

void* (*context_allocate)(size_t count, size_t size) = std::calloc;

namespace {

// The slot's record, allocated on first request; null when there is no memory for it.
void* slot_record(int32_t index, size_t size) {
    if (!context.slots[index]) context.slots[index] = context_allocate(1, size ? size : 1);
    return context.slots[index];
}

} // namespace

void* context_slot(int32_t index, size_t size) {
    if (index < 0 || index >= context_slot_count) {
        error_set(error_argument);
        return nullptr;
    }
    void* record = slot_record(index, size);
    if (!record) error_set(error_memory);
    return record;
}

// Without memory for the error record the number cannot be kept; error_number then reports
// the want of memory. Reporting that through error_set would only fail the same way again.
int32_t error_set(int32_t number) {
    auto* record =
        static_cast<error_record*>(slot_record(context_slot_error, sizeof(error_record)));
    if (record) record->number = number;
    return number;
}

int32_t error_number() {
    auto* record =
        static_cast<error_record*>(slot_record(context_slot_error, sizeof(error_record)));
    return record ? record->number : error_memory;
}

int32_t runtime_start_count() { return context.start_count; }
int32_t runtime_dialect() { return context.dialect; }
int32_t runtime_argument_count() { return context.argument_count; }
char** runtime_arguments() { return context.arguments; }

file_record* file_table_entry(int32_t index) {
    if (index < 0 || index >= file_table_size) return nullptr;
    return &context.files[index];
}

void file_table_opened() { context.file_opened = true; }

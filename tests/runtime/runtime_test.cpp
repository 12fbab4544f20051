#include "runtime/internal/context.h"
#include "runtime/internal/seams.h"
#include "runtime/mutex.h"
#include "runtime/os/os.h"
#include "runtime/runtime.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace {

void stop_fully() {
    while (runtime_start_count() > 0) runtime_stop();
}

void set_control_word(uint16_t word) { asm volatile("fldcw %0" : : "m"(word)); }

TEST(RuntimeStart, SetsExtendedPrecisionAndRoundToNearest) {
    stop_fully();
    set_control_word(0x0E7F); // 53-bit precision, rounding toward zero
    runtime_start();
    EXPECT_EQ(fpu_control_word() & 0x0F00, 0x0300);
    volatile long double one = 1.0L;
    volatile long double third = one / 3;
    // With a 64-bit mantissa the quotient has bits below the double's 53.
    EXPECT_NE(third, static_cast<long double>(static_cast<double>(third)));
    EXPECT_EQ(third * 3, 1.0L);
}

TEST(RuntimeStart, SecondStartOnlyCountsAndStopWorksAtZero) {
    stop_fully();
    runtime_start();
    error_set(7);
    runtime_start();
    EXPECT_EQ(runtime_start_count(), 2);
    EXPECT_EQ(error_number(), 7); // the second start cleared nothing
    runtime_stop();
    EXPECT_EQ(runtime_start_count(), 1);
    runtime_stop();
    EXPECT_EQ(runtime_start_count(), 0);
    runtime_stop(); // an unmatched stop does nothing
    EXPECT_EQ(runtime_start_count(), 0);
    runtime_start();
}

int closes;
void count_close(void*) { ++closes; }
const file_operations counted{count_close};

TEST(RuntimeStop, ClosesOpenFilesOfTheFirst254RecordsWhenTheCountReachesZero) {
    stop_fully();
    runtime_start();
    closes = 0;
    file_table_entry(0)->operations = &counted;
    file_table_entry(253)->operations = &counted;
    file_table_entry(254)->operations = &counted; // the last record is not closed
    file_table_opened();
    runtime_start();
    runtime_stop();
    EXPECT_EQ(closes, 0);
    runtime_stop();
    EXPECT_EQ(closes, 2);
    EXPECT_EQ(file_table_entry(0)->operations, nullptr);
    EXPECT_EQ(file_table_entry(255), nullptr);
    runtime_start();
}

TEST(RuntimeInit, StoresArgumentsAndDialect) {
    char name[] = "clouddisk";
    char* arguments[] = {name, nullptr};
    runtime_init(1, arguments, 0);
    EXPECT_EQ(runtime_argument_count(), 1);
    EXPECT_EQ(runtime_arguments()[0], name);
    EXPECT_EQ(runtime_dialect(), 0);
}

TEST(ContextSlot, AllocatesZeroFilledOnceAndKeepsTheRecord) {
    auto* first = static_cast<unsigned char*>(context_slot(3, 64));
    ASSERT_NE(first, nullptr);
    for (int i = 0; i < 64; ++i) EXPECT_EQ(first[i], 0);
    first[5] = 9;
    EXPECT_EQ(context_slot(3, 1000), first);
    EXPECT_EQ(first[5], 9);
}

TEST(ContextSlot, BadIndexGivesNothingAndError1) {
    error_set(0);
    EXPECT_EQ(context_slot(5, 8), nullptr);
    EXPECT_EQ(error_number(), 1);
    error_set(0);
    EXPECT_EQ(context_slot(-1, 8), nullptr);
    EXPECT_EQ(error_number(), 1);
}

TEST(ErrorSet, ReturnsAndRecordsTheNumber) {
    EXPECT_EQ(error_set(4), 4);
    EXPECT_EQ(error_number(), 4);
    EXPECT_EQ(error_set(0), 0);
    EXPECT_EQ(error_number(), 0);
}

void* no_memory(size_t, size_t) {
    return nullptr;
}

// In a fresh process, where the error record has not been made yet.
TEST(ErrorSetDeathTest, WithoutMemoryForTheErrorRecordReturnsTheNumberAndReportsNoMemory) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            context_allocate = no_memory;
            const bool returned = error_set(1) == 1;
            const bool reported = error_number() == error_memory;
            const bool slot_refused = context_slot(3, 8) == nullptr;
            std::exit(returned && reported && slot_refused ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

os_semaphore* no_semaphore(int32_t, int32_t) {
    return nullptr;
}

TEST(Mutex, IsNoneWhenItsSemaphoreCannotBeMade) {
    mutex_semaphore_create = no_semaphore;
    mutex* m = mutex_create();
    mutex_semaphore_create = os_semaphore_create;
    EXPECT_EQ(m, nullptr);
    mutex_destroy(m);
}

TEST(Mutex, LocksAndUnlocksAndNullDoesNothing) {
    mutex* m = mutex_create();
    ASSERT_NE(m, nullptr);
    mutex_lock(m);
    mutex_unlock(m);
    mutex_lock(m); // a count of 1: free again after the unlock
    mutex_unlock(m);
    mutex_destroy(m);
    mutex_lock(nullptr);
    mutex_unlock(nullptr);
    mutex_destroy(nullptr);
}

// A child's exit code comes back, and a program that cannot start gives no process. On POSIX
// the child checks that its argument arrives as it was given, blanks, quote and backslash.
TEST(OsProcess, RunsAProgramAndGivesItsExitCode) {
#ifdef _WIN32
    const char* shell = std::getenv("ComSpec");
    ASSERT_NE(shell, nullptr);
    const char* const arguments[] = {"cmd", "/c", "exit 7", nullptr};
#else
    const char* shell = "/bin/sh";
    const char* const arguments[] = {
        "sh", "-c",       "[ \"$1\" = 'a b\"c\\' ] && [ $# = 1 ] && exit 7; exit 1",
        "sh", "a b\"c\\", nullptr};
#endif
    EXPECT_EQ(os_process_wait(os_process_start(shell, arguments)), 7);
    EXPECT_EQ(os_process_start("/no/such/program", arguments), nullptr);
    EXPECT_EQ(os_process_wait(nullptr), -1);
    EXPECT_GE(os_processor_count(), 1);
}

void say_first() { std::fputs("first-registered\n", stderr); }
void say_second() { std::fputs("second-registered\n", stderr); }

TEST(ProgramEndDeathTest, RunsExitHandlersInReverseOrderAndEndsWithTheCode) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            exit_handler_add(say_first);
            exit_handler_add(say_second);
            program_end(3);
        },
        testing::ExitedWithCode(3), "second-registered\\s+first-registered");
}

} // namespace

# 32-bit Linux build of the portable code (host g++ -m32): the product's storage widths, MMX
# forms and pointer sizes, checked on any x86-64 machine. Its programs run directly where the
# kernel runs 32-bit programs and under qemu-i386-static where it does not, or everywhere with
# -DCLOUDDISK_EMULATE32=ON (the environment variable of that name sets the default).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT -m32)
set(CMAKE_CXX_FLAGS_INIT -m32)

if(NOT DEFINED CLOUDDISK_EMULATE32)
  set(emulate "$ENV{CLOUDDISK_EMULATE32}")
  if(NOT emulate)
    set(emulate OFF)
  endif()
  set(CLOUDDISK_EMULATE32 ${emulate} CACHE BOOL "Run the 32-bit programs under qemu-i386-static")
endif()
if(NOT CLOUDDISK_EMULATE32)
  execute_process(COMMAND ${CMAKE_CURRENT_LIST_DIR}/../scripts/probe-32bit
    RESULT_VARIABLE no_32bit_programs OUTPUT_QUIET)
endif()
if(CLOUDDISK_EMULATE32 OR no_32bit_programs)
  find_program(qemu_i386 qemu-i386-static REQUIRED)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${qemu_i386})
endif()

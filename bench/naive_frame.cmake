# The hand-written single-file frame that frame_bench is compared with (bench/compare): built
# with the same compiler and flags as the program; only its indentation warning is let pass.
add_executable(naive_frame ${CMAKE_CURRENT_LIST_DIR}/naive_frame.cpp)
target_compile_options(naive_frame PRIVATE -Wno-misleading-indentation)

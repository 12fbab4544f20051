add_executable(plot_bench ${CMAKE_CURRENT_LIST_DIR}/plot_bench.cpp)
target_link_libraries(plot_bench PRIVATE gfx)

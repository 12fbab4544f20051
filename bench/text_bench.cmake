# Text on the graphics screen: printing full rows and scrolling the whole view.
add_executable(text_bench ${CMAKE_CURRENT_LIST_DIR}/text_bench.cpp)
target_link_libraries(text_bench PRIVATE gfx)

# print_text through a device that does nothing: the engine's own cost.
if(NOT WIN32)
  add_executable(print_bench ${CMAKE_CURRENT_LIST_DIR}/print_bench.cpp)
  target_link_libraries(print_bench PRIVATE runtime)
endif()

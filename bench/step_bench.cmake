add_executable(step_bench ${CMAKE_CURRENT_LIST_DIR}/step_bench.cpp)
target_link_libraries(step_bench PRIVATE model)

# The frame loop is a library too, so that the tests and the frame benchmark run the same code.
add_library(frame STATIC ${CMAKE_CURRENT_LIST_DIR}/frame.cpp)
target_link_libraries(frame PUBLIC model gfx runtime)

add_executable(clouddisk ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(clouddisk PRIVATE frame)

# The display drivers' frame rates and presents per second against the null driver.
if(WIN32 OR CLOUDDISK_X11)
  add_executable(present_bench ${CMAKE_CURRENT_LIST_DIR}/present_bench.cpp)
  target_link_libraries(present_bench PRIVATE frame)
endif()

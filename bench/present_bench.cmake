# The GDI driver's frame rate and presents per second; it needs the Win32 drivers.
if(WIN32)
  add_executable(present_bench ${CMAKE_CURRENT_LIST_DIR}/present_bench.cpp)
  target_link_libraries(present_bench PRIVATE frame)
endif()

# The OpenGL driver's poll_events and flip under Wine; it needs the Win32 drivers.
if(WIN32)
  add_executable(gl_bench ${CMAKE_CURRENT_LIST_DIR}/gl_bench.cpp)
  target_link_libraries(gl_bench PRIVATE gfx runtime opengl32)
endif()

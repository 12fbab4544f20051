# The installed library: the run-time and graphics libraries, their public headers (with the
# library's own headers that those include) and the CMake package that find_package(clouddisk)
# reads. A program outside this tree links clouddisk::gfx (which brings clouddisk::runtime):
#   find_package(clouddisk REQUIRED)
#   target_link_libraries(program PRIVATE clouddisk::gfx)
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(clouddisk_include_dir ${CMAKE_INSTALL_INCLUDEDIR}/clouddisk)
set(clouddisk_package_dir ${CMAKE_INSTALL_LIBDIR}/cmake/clouddisk)

# What a program's build needs from the libraries: the headers, C++20, SSE2 for the inline
# plotting on 32-bit x86, and the sanitizers' run-time when the libraries carry them.
foreach(library runtime gfx)
  target_include_directories(${library} INTERFACE
    $<BUILD_INTERFACE:${CMAKE_SOURCE_DIR}> $<INSTALL_INTERFACE:${clouddisk_include_dir}>)
  target_compile_features(${library} INTERFACE cxx_std_20)
  set_target_properties(${library} PROPERTIES OUTPUT_NAME clouddisk_${library})
  add_library(clouddisk::${library} ALIAS ${library})
endforeach()
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  target_compile_options(runtime INTERFACE -msse2)
endif()
if(CLOUDDISK_SANITIZE)
  target_link_options(runtime INTERFACE $<INSTALL_INTERFACE:-fsanitize=address,undefined>)
endif()
if(CLOUDDISK_TSAN)
  target_link_options(runtime INTERFACE $<INSTALL_INTERFACE:-fsanitize=thread>)
endif()

# The public headers (gfx/gfx.h includes them all), and the library's own headers that the
# inline code of the public ones includes.
set(clouddisk_public_headers
  runtime/key_input.h runtime/line_input.h runtime/mutex.h runtime/print.h runtime/random.h
  runtime/runtime.h runtime/text.h runtime/text_screen.h
  gfx/input.h gfx/palette.h gfx/plotting.h gfx/screen.h gfx/screen_text.h
)
if(WIN32)
  list(APPEND clouddisk_public_headers gfx/win32/opengl.h)
endif()
foreach(header gfx/gfx.h ${clouddisk_public_headers} gfx/internal/draw_state.h gfx/internal/gfx_context.h)
  get_filename_component(folder ${header} DIRECTORY)
  install(FILES ${CMAKE_SOURCE_DIR}/${header} DESTINATION ${clouddisk_include_dir}/${folder})
endforeach()

if(CLOUDDISK_X11)
  set(clouddisk_with_x11 TRUE)
else()
  set(clouddisk_with_x11 FALSE)
endif()
install(TARGETS runtime gfx EXPORT clouddisk-targets ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(EXPORT clouddisk-targets NAMESPACE clouddisk:: DESTINATION ${clouddisk_package_dir})
configure_package_config_file(${CMAKE_SOURCE_DIR}/cmake/clouddisk-config.cmake.in
  ${CMAKE_BINARY_DIR}/clouddisk-config.cmake INSTALL_DESTINATION ${clouddisk_package_dir})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/clouddisk-config-version.cmake
  VERSION 1.0 COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/clouddisk-config.cmake
  ${CMAKE_BINARY_DIR}/clouddisk-config-version.cmake DESTINATION ${clouddisk_package_dir})

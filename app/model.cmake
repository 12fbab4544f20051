# The orbit model. No errno from sqrt, so the extended square root stays one instruction.
add_library(model STATIC
  ${CMAKE_CURRENT_LIST_DIR}/model.cpp
  ${CMAKE_CURRENT_LIST_DIR}/model_step.cpp
  ${CMAKE_CURRENT_LIST_DIR}/orbit_math.cpp
  ${CMAKE_CURRENT_LIST_DIR}/summary.cpp
)
target_link_libraries(model PUBLIC runtime)
target_compile_options(model PRIVATE -fno-math-errno)

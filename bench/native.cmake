# Native benchmarks: built with the native build, never run by ctest. Optimised and without
# the sanitizers, which would measure themselves instead.
add_executable(markup_bench
  ${CMAKE_SOURCE_DIR}/bench/markup_bench.cpp
  ${CMAKE_SOURCE_DIR}/src/services/markup.cpp)
target_include_directories(markup_bench PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tests/native)
set_target_properties(markup_bench PROPERTIES COMPILE_OPTIONS "-O2;-Wall;-Wextra" LINK_OPTIONS "")

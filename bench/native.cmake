# Native benchmarks: built with the native build, never run by ctest. Optimised and without
# the sanitizers, which would measure themselves instead.
add_executable(markup_bench
  ${CMAKE_SOURCE_DIR}/bench/markup_bench.cpp
  ${CMAKE_SOURCE_DIR}/src/services/markup.cpp)
target_include_directories(markup_bench PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tests/native)
set_target_properties(markup_bench PROPERTIES COMPILE_OPTIONS "-O2;-Wall;-Wextra" LINK_OPTIONS "")

# What is new in a page's text, on hostile texts at the kept text's cap.
add_executable(new_passages_bench
  ${CMAKE_SOURCE_DIR}/bench/new_passages_bench.cpp
  ${CMAKE_SOURCE_DIR}/src/services/new_passages.cpp ${CMAKE_SOURCE_DIR}/src/services/charset.cpp
  ${CMAKE_SOURCE_DIR}/src/services/character_references.cpp)
target_include_directories(new_passages_bench PRIVATE ${CMAKE_SOURCE_DIR}/src)
set_target_properties(new_passages_bench PROPERTIES COMPILE_OPTIONS "-O2;-Wall;-Wextra" LINK_OPTIONS "")

# Compiled objects are kept by ccache, so that a build from a fresh checkout compiles only what
# changed since the last build on this machine. scripts/test and scripts/fuzz give it the
# source root as base directory, which makes the cache hold across checkout folders.
find_program(PELORIN_CCACHE ccache)
if(PELORIN_CCACHE)
  set(CMAKE_C_COMPILER_LAUNCHER ${PELORIN_CCACHE})
  set(CMAKE_CXX_COMPILER_LAUNCHER ${PELORIN_CCACHE})
endif()

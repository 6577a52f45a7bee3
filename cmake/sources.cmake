# Each folder of src/ lists its own sources in its sources.cmake:
#   pelorin_sources(PURE a.cpp ... WIN b.cpp ...)
# PURE files include no Windows header and are compiled by both builds, so the native
# build tests them under the sanitizers; WIN files are for the cross build only.
function(pelorin_sources)
  cmake_parse_arguments(A "" "" "PURE;WIN" ${ARGN})
  foreach(f IN LISTS A_PURE)
    set_property(GLOBAL APPEND PROPERTY PELORIN_PURE_SOURCES ${CMAKE_CURRENT_LIST_DIR}/${f})
  endforeach()
  foreach(f IN LISTS A_WIN)
    set_property(GLOBAL APPEND PROPERTY PELORIN_WIN_SOURCES ${CMAKE_CURRENT_LIST_DIR}/${f})
  endforeach()
endfunction()

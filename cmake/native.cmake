# The native build: the pure parts under AddressSanitizer and UndefinedBehaviorSanitizer.
set(san -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
add_compile_options(${san} -Wall -Wextra -g)
add_link_options(${san})

include(cmake/sources.cmake)
set(PELORIN_SRC ${CMAKE_SOURCE_DIR}/src)
foreach(dir common services module band search watch)
  include(${PELORIN_SRC}/${dir}/sources.cmake)
endforeach()
get_property(pure GLOBAL PROPERTY PELORIN_PURE_SOURCES)

include(${CMAKE_SOURCE_DIR}/bar/sources.cmake)
include(${CMAKE_SOURCE_DIR}/settings/sources.cmake)

add_library(pelorin_pure STATIC ${pure} ${BAR_PURE_SOURCES} ${SETTINGS_PURE_SOURCES})
target_include_directories(pelorin_pure PUBLIC ${PELORIN_SRC} ${CMAKE_SOURCE_DIR})

find_package(GTest REQUIRED)
file(GLOB native_tests CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/native/*.cpp)
add_executable(native_tests ${native_tests})
target_link_libraries(native_tests PRIVATE pelorin_pure GTest::gtest_main)
include(GoogleTest)
gtest_discover_tests(native_tests TEST_PREFIX "native.")

if(EXISTS ${CMAKE_SOURCE_DIR}/bench/native.cmake)
  include(${CMAKE_SOURCE_DIR}/bench/native.cmake)
endif()

# The scripts' own decisions, fed the outputs they meet.
file(GLOB script_tests CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/scripts/test_*.sh)
foreach(script ${script_tests})
  get_filename_component(name ${script} NAME_WE)
  add_test(NAME native.scripts.${name} COMMAND bash ${script})
endforeach()

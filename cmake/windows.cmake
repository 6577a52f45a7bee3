# The cross build: pelorin.beta.dll, the band host and the Windows tests (run under Wine).

# Each bitness runs in a prefix of its own: the 32-bit build in a WINEARCH=win32 prefix, the
# 64-bit one in a win64 prefix (which also runs 32-bit programs, as 64-bit Windows does).
# wine64 is the loader that starts 64-bit programs and the 64-bit builtins (regsvr32).
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(PELORIN_WINEARCH win64)
  # Debian keeps it out of PATH: /usr/bin/wine is the 32-bit loader's wrapper.
  find_program(PELORIN_WINE NAMES wine64 PATHS /usr/lib/wine /usr/lib/x86_64-linux-gnu/wine
               NO_CMAKE_FIND_ROOT_PATH REQUIRED)
else()
  set(PELORIN_WINEARCH win32)
  set(PELORIN_WINE wine)
endif()
file(WRITE ${CMAKE_BINARY_DIR}/wine-arch "${PELORIN_WINEARCH}\n")

# The runner that ctest puts in front of every Windows test: it gives the test the build's
# private Wine prefix and the environment the tests are written for.
configure_file(${CMAKE_SOURCE_DIR}/tests/win/run-wine.in ${CMAKE_BINARY_DIR}/run-wine @ONLY)
file(CHMOD ${CMAKE_BINARY_DIR}/run-wine PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
     GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/run-wine)

add_compile_definitions(
  _WIN32_WINNT=0x0601 WINVER=0x0601 _WIN32_IE=0x0700 NOMINMAX STRICT)
# Sources are UTF-8; the texts a user sees are Japanese in code page 932, so narrow literals
# are written out in code page 932.
add_compile_options(-fexec-charset=CP932 -Wall -Wextra -Wno-unused-parameter
                    -Wno-missing-field-initializers -Wno-cast-function-type)
# Self-contained: nothing but system DLLs may be needed beside the one file.
add_link_options(-static -static-libgcc -static-libstdc++)

include(cmake/sources.cmake)
set(PELORIN_SRC ${CMAKE_SOURCE_DIR}/src)
foreach(dir common services module band search watch)
  include(${PELORIN_SRC}/${dir}/sources.cmake)
endforeach()
get_property(pure GLOBAL PROPERTY PELORIN_PURE_SOURCES)
get_property(win GLOBAL PROPERTY PELORIN_WIN_SOURCES)

# Everything but the entry point, so that tests link the same code the DLL runs.
add_library(pelorin_core STATIC ${pure} ${win})
target_include_directories(pelorin_core PUBLIC ${PELORIN_SRC})
target_link_libraries(pelorin_core PUBLIC
  comctl32 shlwapi shell32 ole32 oleaut32 uuid advapi32 wininet gdi32 user32 kernel32)

add_subdirectory(src/resources)

add_library(pelorin SHARED
  ${PELORIN_SRC}/module/dll_main.cpp
  ${PELORIN_SRC}/module/pelorin.def
  ${PELORIN_RESOURCE_OBJECTS})
set_target_properties(pelorin PROPERTIES OUTPUT_NAME pelorin.beta PREFIX "" SUFFIX ".dll")
target_link_libraries(pelorin PRIVATE pelorin_core)
target_link_options(pelorin PRIVATE -Wl,--enable-stdcall-fixup -Wl,--no-undefined)
add_dependencies(pelorin pelorin_resources)

# The sample configuration ships beside the DLL, in code page 932 like every text a user
# reads. Its name keeps it from being taken for the live pelorin.ini.
set(sample_ini ${CMAKE_BINARY_DIR}/pelorin.sample.ini)
add_custom_command(OUTPUT ${sample_ini}
  COMMAND python3 ${CMAKE_SOURCE_DIR}/cmake/encode-cp932.py
          ${PELORIN_SRC}/resources/pelorin.sample.ini.in ${sample_ini}
  DEPENDS ${PELORIN_SRC}/resources/pelorin.sample.ini.in ${CMAKE_SOURCE_DIR}/cmake/encode-cp932.py
  VERBATIM)
add_custom_target(pelorin_sample_ini DEPENDS ${sample_ini})
add_dependencies(pelorin pelorin_sample_ini)

# The setup program, given the 64-bit build whose DLL it carries beside the 32-bit one.
set(PELORIN_WIN64_BUILD "" CACHE PATH "the 64-bit build, for the setup program (32-bit build only)")
if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND PELORIN_WIN64_BUILD)
  add_subdirectory(installer)
endif()

# The Pelorin bar: the band where no browser or taskbar hosts it, and its settings dialog.
add_subdirectory(settings)
add_subdirectory(bar)

if(NOT PELORIN_COMPILE_ONLY)
  add_subdirectory(tools/bandhost)
  # The demo drives the band in the band host.
  if(EXISTS ${CMAKE_SOURCE_DIR}/tools/bandhost/band_host.h)
    add_subdirectory(tools/demo)
  endif()
  add_subdirectory(tests/win)
  if(EXISTS ${CMAKE_SOURCE_DIR}/bench/CMakeLists.txt)
    add_subdirectory(bench)
  endif()
endif()

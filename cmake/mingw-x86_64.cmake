# mingw-w64, posix-thread variant: the win32-thread compilers have no std::thread and
# cannot build GoogleTest, and the two variants' objects must not be mixed.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(PELORIN_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER   ${PELORIN_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PELORIN_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${PELORIN_TRIPLE}-windres)
set(PELORIN_WIDL       ${PELORIN_TRIPLE}-widl)
set(CMAKE_FIND_ROOT_PATH /usr/${PELORIN_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

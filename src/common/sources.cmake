pelorin_sources(PURE mbcs.cpp WIN ansi.cpp)

pelorin_sources(PURE mbcs.cpp WIN ansi.cpp web_browser_stub.cpp program_folder.cpp)

pelorin_sources(PURE config_list.cpp WIN config_list_win.cpp)

pelorin_sources(WIN watch_pane.cpp)

pelorin_sources(WIN search_pane.cpp)

pelorin_sources(WIN watch_pane.cpp watch_worker.cpp)

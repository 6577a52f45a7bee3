pelorin_sources(WIN watch_item.cpp watch_pane.cpp watch_worker.cpp)

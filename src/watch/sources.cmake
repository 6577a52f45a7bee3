pelorin_sources(PURE item_line.cpp WIN watch_item.cpp watch_pane.cpp watch_worker.cpp)

pelorin_sources(PURE item_line.cpp WIN watch_item.cpp watch_pane.cpp watch_worker.cpp)
# What the band shows of a changed page's new text.
pelorin_sources(WIN passage_display.cpp)

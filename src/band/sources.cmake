pelorin_sources(PURE pane_layout.cpp WIN band_object.cpp container_window.cpp)

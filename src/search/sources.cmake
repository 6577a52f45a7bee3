pelorin_sources(
  PURE search_engine.cpp query_encoding.cpp
  WIN search_engine_win.cpp submit_query.cpp search_pane.cpp)

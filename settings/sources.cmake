# The settings dialog's sources: PURE ones include no Windows header and are also built
# natively, where tests/native tests them under the sanitizers.
set(SETTINGS_PURE_SOURCES ${CMAKE_CURRENT_LIST_DIR}/settings_lists.cpp ${CMAKE_CURRENT_LIST_DIR}/page_title.cpp)
set(SETTINGS_WIN_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/settings_file.cpp ${CMAKE_CURRENT_LIST_DIR}/settings_checks.cpp
  ${CMAKE_CURRENT_LIST_DIR}/settings_dialog.cpp ${CMAKE_CURRENT_LIST_DIR}/title_fetch.cpp)

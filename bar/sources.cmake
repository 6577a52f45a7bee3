# The bar's sources: PURE ones include no Windows header and are also built natively, where
# tests/native tests them under the sanitizers.
set(BAR_PURE_SOURCES ${CMAKE_CURRENT_LIST_DIR}/local_page.cpp ${CMAKE_CURRENT_LIST_DIR}/placement.cpp
  ${CMAKE_CURRENT_LIST_DIR}/settings_lists.cpp ${CMAKE_CURRENT_LIST_DIR}/page_title.cpp)
set(BAR_WIN_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/bar_main.cpp ${CMAKE_CURRENT_LIST_DIR}/bar_window.cpp
  ${CMAKE_CURRENT_LIST_DIR}/bar_site.cpp ${CMAKE_CURRENT_LIST_DIR}/default_browser.cpp
  ${CMAKE_CURRENT_LIST_DIR}/hosted_band.cpp ${CMAKE_CURRENT_LIST_DIR}/local_pages.cpp
  ${CMAKE_CURRENT_LIST_DIR}/texts.cpp ${CMAKE_CURRENT_LIST_DIR}/tray_icon.cpp ${CMAKE_CURRENT_LIST_DIR}/sign_in.cpp
  ${CMAKE_CURRENT_LIST_DIR}/settings_file.cpp ${CMAKE_CURRENT_LIST_DIR}/settings_checks.cpp
  ${CMAKE_CURRENT_LIST_DIR}/settings_dialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/title_fetch.cpp)
# The balloon for pages that turned Changed, with what is new in them.
list(APPEND BAR_WIN_SOURCES ${CMAKE_CURRENT_LIST_DIR}/change_balloon.cpp)

# The bar's sources: PURE ones include no Windows header and are also built natively, where
# tests/native tests them under the sanitizers. The texts are a library of their own, because
# the settings dialog (settings/) says its part through them too.
set(BAR_PURE_SOURCES ${CMAKE_CURRENT_LIST_DIR}/local_page.cpp ${CMAKE_CURRENT_LIST_DIR}/placement.cpp)
set(BAR_TEXT_SOURCES ${CMAKE_CURRENT_LIST_DIR}/texts.cpp)
set(BAR_WIN_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/bar_main.cpp ${CMAKE_CURRENT_LIST_DIR}/bar_window.cpp
  ${CMAKE_CURRENT_LIST_DIR}/bar_site.cpp ${CMAKE_CURRENT_LIST_DIR}/default_browser.cpp
  ${CMAKE_CURRENT_LIST_DIR}/hosted_band.cpp ${CMAKE_CURRENT_LIST_DIR}/local_pages.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tray_icon.cpp ${CMAKE_CURRENT_LIST_DIR}/sign_in.cpp)

# The watch pane's benchmark: a Windows program, run by hand in the test sandbox.
add_executable(bench_watch_pass ${CMAKE_CURRENT_LIST_DIR}/watch_pass.cpp)
target_link_libraries(bench_watch_pass PRIVATE win_test_support)

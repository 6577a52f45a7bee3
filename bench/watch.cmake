# The watch pane's benchmark: a Windows program, run by hand in the test sandbox.
add_executable(watch_pass_bench ${CMAKE_CURRENT_LIST_DIR}/watch_pass.cpp
                                ${CMAKE_CURRENT_LIST_DIR}/message_timing.cpp)
target_link_libraries(watch_pass_bench PRIVATE win_test_support)

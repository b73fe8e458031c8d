# Application shell: logic against the recording fake; the SDL layer under SDL's
# dummy and offscreen drivers; the whole program under Xvfb.

add_executable(app_tests
  render_window_test.cpp
  main_loop_test.cpp
)
target_link_libraries(app_tests PRIVATE app fake_window_system GTest::gtest_main)
gtest_discover_tests(app_tests WORKING_DIRECTORY ${PROJECT_SOURCE_DIR} PROPERTIES TIMEOUT 60)

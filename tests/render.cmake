# Render tests draw into a real context: SDL's offscreen driver on llvmpipe, no X.
add_executable(render_tests
  render_test_support.cpp
  scene_state_test.cpp
  solid_sphere_test.cpp
  draw_frame_test.cpp
  texture_loading_test.cpp
)
target_link_libraries(render_tests PRIVATE render fake_window_system SDL2::SDL2 GTest::gtest_main)
target_compile_definitions(render_tests PRIVATE CLOTHTRACE_PATH="$<TARGET_FILE:clothtrace>")
add_dependencies(render_tests clothtrace)
gtest_discover_tests(render_tests
  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
  PROPERTIES TIMEOUT 60 LABELS gl ENVIRONMENT "SDL_VIDEODRIVER=offscreen;DISPLAY="
  DISCOVERY_TIMEOUT 30)

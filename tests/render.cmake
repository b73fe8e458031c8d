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

# The whole program without its texture, under the Xvfb fixture of app.cmake.
# Message boxes are logged by a preloaded stand-in, so the check is exact and
# nothing waits for a click.
if(TARGET clothsim AND TEST xvfb_start)
  add_library(message_box_logger SHARED message_box_logger.cpp)
  target_link_libraries(message_box_logger PRIVATE SDL2::SDL2)
  if(CLOTHSIM_SANITIZE)
    # LD_PRELOAD carries it into processes with no sanitizer runtime: timeout,
    # and the symbolizer a sanitized program starts for its reports.
    target_compile_options(message_box_logger PRIVATE -fno-sanitize=all)
    target_link_options(message_box_logger PRIVATE -fno-sanitize=all)
  endif()
  add_test(NAME clothsim_without_texture
    COMMAND ${PROJECT_SOURCE_DIR}/tests/clothsim-no-texture.sh $<TARGET_FILE:clothsim>
            $<TARGET_FILE:message_box_logger>)
  add_test(NAME clothsim_with_fifo_for_texture
    COMMAND ${PROJECT_SOURCE_DIR}/tests/clothsim-no-texture.sh $<TARGET_FILE:clothsim>
            $<TARGET_FILE:message_box_logger> fifo)
  set_tests_properties(clothsim_without_texture clothsim_with_fifo_for_texture PROPERTIES
    TIMEOUT 60 FIXTURES_REQUIRED Xvfb RESOURCE_LOCK x_input LABELS x11
    ENVIRONMENT "DISPLAY=${TEST_X_DISPLAY};SDL_VIDEODRIVER=x11")
endif()

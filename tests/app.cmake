# Application shell: logic against the recording fake; the SDL layer under SDL's
# dummy and offscreen drivers; the whole program under Xvfb.

add_executable(app_tests
  render_window_test.cpp
  main_loop_test.cpp
)
target_link_libraries(app_tests PRIVATE app fake_window_system GTest::gtest_main)
gtest_discover_tests(app_tests WORKING_DIRECTORY ${PROJECT_SOURCE_DIR} PROPERTIES TIMEOUT 60)

# The SDL layer without a display: SDL's dummy driver has events and windows
# but no OpenGL, and no message box can be shown.
add_executable(window_system_sdl_tests window_system_sdl_test.cpp)
target_link_libraries(window_system_sdl_tests PRIVATE app window_system_sdl GTest::gtest_main)
gtest_discover_tests(window_system_sdl_tests
  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
  PROPERTIES TIMEOUT 30 ENVIRONMENT "SDL_VIDEODRIVER=dummy;DISPLAY=")

# Everything below needs the X server with a window manager; tests/xvfb-start.sh
# starts Xvfb unless one answers on TEST_X_DISPLAY, and openbox unless a window
# manager runs there. They share x_input: each opens a window that takes the
# keyboard focus.
# TEST_X_DISPLAY in the environment gives a second build tree its own server.
if(DEFINED ENV{TEST_X_DISPLAY})
  set(default_x_display "$ENV{TEST_X_DISPLAY}")
else()
  set(default_x_display ":99")
endif()
set(TEST_X_DISPLAY "${default_x_display}" CACHE STRING "X display for window tests")
if(NOT TEST xvfb_start)
  add_test(NAME xvfb_start
    COMMAND ${PROJECT_SOURCE_DIR}/tests/xvfb-start.sh ${TEST_X_DISPLAY} ${CMAKE_BINARY_DIR}/xvfb.pid)
  add_test(NAME xvfb_stop COMMAND ${PROJECT_SOURCE_DIR}/tests/xvfb-stop.sh ${CMAKE_BINARY_DIR}/xvfb.pid)
  set_tests_properties(xvfb_start PROPERTIES FIXTURES_SETUP Xvfb)
  set_tests_properties(xvfb_stop PROPERTIES FIXTURES_CLEANUP Xvfb)
endif()
set(app_x_environment "DISPLAY=${TEST_X_DISPLAY};SDL_VIDEODRIVER=x11")

add_executable(send_close_request send_close_request.cpp)
target_link_libraries(send_close_request PRIVATE X11)

add_executable(render_window_gl_tests render_window_gl_test.cpp)
target_link_libraries(render_window_gl_tests PRIVATE app window_system_sdl GTest::gtest_main)
gtest_discover_tests(render_window_gl_tests
  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
  PROPERTIES TIMEOUT 60 FIXTURES_REQUIRED Xvfb RESOURCE_LOCK x_input LABELS x11
             ENVIRONMENT "${app_x_environment}")

add_executable(app_e2e_tests app_e2e_test.cpp)
target_link_libraries(app_e2e_tests PRIVATE app window_system_sdl GTest::gtest_main)
target_compile_definitions(app_e2e_tests PRIVATE
  SEND_CLOSE_REQUEST_PATH="$<TARGET_FILE:send_close_request>")
add_dependencies(app_e2e_tests send_close_request)
gtest_discover_tests(app_e2e_tests
  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
  PROPERTIES TIMEOUT 60 FIXTURES_REQUIRED Xvfb RESOURCE_LOCK x_input LABELS x11
             ENVIRONMENT "${app_x_environment}")

# The shipped program itself.
foreach(mode escape close f1)
  add_test(NAME clothsim_e2e_${mode}
    COMMAND ${PROJECT_SOURCE_DIR}/tests/clothsim-e2e.sh $<TARGET_FILE:clothsim>
            $<TARGET_FILE:send_close_request> ${mode}
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR})
  set_tests_properties(clothsim_e2e_${mode} PROPERTIES TIMEOUT 60 FIXTURES_REQUIRED Xvfb RESOURCE_LOCK x_input LABELS x11
             ENVIRONMENT "${app_x_environment}")
endforeach()

add_test(NAME clothsim_without_display
  COMMAND ${PROJECT_SOURCE_DIR}/tests/clothsim-no-display.sh $<TARGET_FILE:clothsim>
  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR})
set_tests_properties(clothsim_without_display PROPERTIES TIMEOUT 30)

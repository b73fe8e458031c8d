# Application shell: logic against the recording fake; the SDL layer under SDL's
# dummy and offscreen drivers; the whole program under Xvfb.

add_executable(app_tests
  render_window_test.cpp
  main_loop_test.cpp
)
target_link_libraries(app_tests PRIVATE app fake_window_system GTest::gtest_main)
gtest_discover_tests(app_tests WORKING_DIRECTORY ${PROJECT_SOURCE_DIR} PROPERTIES TIMEOUT 60 LABELS unit)

# The SDL layer without a display: SDL's dummy driver has events and windows
# but no OpenGL, and no message box can be shown.
add_executable(window_system_sdl_tests window_system_sdl_test.cpp)
target_link_libraries(window_system_sdl_tests PRIVATE app window_system_sdl GTest::gtest_main)
gtest_discover_tests(window_system_sdl_tests
  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
  PROPERTIES TIMEOUT 30 LABELS unit ENVIRONMENT "SDL_VIDEODRIVER=dummy;DISPLAY=")

# The desktop tier needs an X server of its own, a window manager, a Wayland
# compositor and XCB. Where any is missing (a packager's build machine, say)
# the tier is left out and said so; the other tiers build and run as ever.
find_package(X11 QUIET COMPONENTS xcb xcb_xtest)
find_library(XCB_DAMAGE_LIBRARY xcb-damage)
set(desktop_missing "")
if(NOT X11_FOUND OR NOT X11_xcb_xtest_FOUND OR NOT XCB_DAMAGE_LIBRARY)
  list(APPEND desktop_missing "Xlib or XCB with XTEST and DAMAGE (libx11-dev libxcb-xtest0-dev libxcb-damage0-dev)")
endif()
foreach(program Xvfb:xvfb openbox:openbox xdpyinfo:x11-utils xprop:x11-utils xev:x11-utils weston:weston)
  string(REPLACE ":" ";" program ${program})
  list(GET program 0 name)
  list(GET program 1 package)
  find_program(${name}_PROGRAM ${name})
  if(NOT ${name}_PROGRAM)
    list(APPEND desktop_missing "${name} (${package})")
  endif()
endforeach()
if(desktop_missing)
  list(JOIN desktop_missing ", " desktop_missing)
  message(STATUS "Desktop tests (label desktop) are off; missing: ${desktop_missing} "
                 "(Debian's packages; the README lists other distributions')")
  return()
endif()

# Everything below runs on this test run's own X server, with openbox as its
# window manager: the fixture starts them and writes the display into
# TEST_X_STATE, where the tests read it when they run. Tests that send input
# share x_input: each opens a window that takes the keyboard focus.
set(TEST_X_STATE ${CMAKE_BINARY_DIR}/test-x)
add_test(NAME xvfb_start COMMAND ${PROJECT_SOURCE_DIR}/tests/xvfb-start.sh ${TEST_X_STATE} 1024x768x24 weston)
add_test(NAME xvfb_stop COMMAND ${PROJECT_SOURCE_DIR}/tests/xvfb-stop.sh ${TEST_X_STATE})
set_tests_properties(xvfb_start PROPERTIES FIXTURES_SETUP Xvfb LABELS desktop)
set_tests_properties(xvfb_stop PROPERTIES FIXTURES_CLEANUP Xvfb LABELS desktop)
# A second server, whose only display mode is 640 x 480: full screen switches there.
add_test(NAME xvfb_640_start COMMAND ${PROJECT_SOURCE_DIR}/tests/xvfb-start.sh ${TEST_X_STATE}-640 640x480x24)
add_test(NAME xvfb_640_stop COMMAND ${PROJECT_SOURCE_DIR}/tests/xvfb-stop.sh ${TEST_X_STATE}-640)
set_tests_properties(xvfb_640_start PROPERTIES FIXTURES_SETUP Xvfb LABELS desktop)
set_tests_properties(xvfb_640_stop PROPERTIES FIXTURES_CLEANUP Xvfb LABELS desktop)
# One value each: gtest_discover_tests splits a list into separate arguments.
set(x_test_properties TIMEOUT 120 FIXTURES_REQUIRED Xvfb RESOURCE_LOCK x_input LABELS desktop
    ENVIRONMENT CLOTHSIM_TEST_X=${TEST_X_STATE})
add_library(window_driver STATIC window_driver.cpp)
target_include_directories(window_driver PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(window_driver PUBLIC X11::X11 X11::xcb X11::xcb_xtest ${XCB_DAMAGE_LIBRARY} GTest::gtest)

# Message boxes of the shipped program are logged by a preloaded stand-in, so
# the check is exact and nothing waits for a click.
add_library(message_box_logger SHARED message_box_logger.cpp)
target_link_libraries(message_box_logger PRIVATE SDL2::SDL2)
if(CLOTHSIM_SANITIZE)
  # LD_PRELOAD carries it into the symbolizer a sanitized program starts for
  # its reports, which has no sanitizer runtime.
  target_compile_options(message_box_logger PRIVATE -fno-sanitize=all)
  target_link_options(message_box_logger PRIVATE -fno-sanitize=all)
endif()

add_executable(render_window_gl_tests render_window_gl_test.cpp)
target_link_libraries(render_window_gl_tests PRIVATE app window_system_sdl window_driver GTest::gtest_main)
gtest_discover_tests(render_window_gl_tests
  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR} PROPERTIES ${x_test_properties})

# The program in this process, and the shipped binary as a process of its own.
add_executable(app_e2e_tests app_e2e_test.cpp shipped_program_test.cpp)
target_link_libraries(app_e2e_tests PRIVATE app window_system_sdl window_driver GTest::gtest_main)
target_compile_definitions(app_e2e_tests PRIVATE
  CLOTHSIM_PATH="$<TARGET_FILE:clothsim>" PROJECT_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
  MESSAGE_BOX_LOGGER_PATH="$<TARGET_FILE:message_box_logger>"
  CMAKE_COMMAND="${CMAKE_COMMAND}" BUILD_DIR="${CMAKE_BINARY_DIR}" CLOTHSIM_VERSION="${PROJECT_VERSION}")
add_dependencies(app_e2e_tests clothsim message_box_logger)
gtest_discover_tests(app_e2e_tests
  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR} PROPERTIES ${x_test_properties})

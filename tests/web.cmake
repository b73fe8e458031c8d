# The browser build, made in CLOTHSIM_WEB_BUILD (./build.sh web-test): its
# clothtrace under node against the native one, and its page in headless
# Chromium against the desktop program's frame on the test X server. Labelled
# "web", which ./build.sh test leaves out.
if(NOT TARGET window_driver)
  message(FATAL_ERROR "The browser build is compared with the desktop on the desktop tests' X server, which is off")
endif()
find_program(NODE_PROGRAM node)
find_program(CHROMIUM_PROGRAM NAMES chromium chromium-browser)
if(NOT NODE_PROGRAM OR NOT CHROMIUM_PROGRAM)
  clothsim_missing("node or Chromium" "nodejs chromium" "nodejs chromium" "nodejs chromium")
endif()
set(web ${CLOTHSIM_WEB_BUILD})
set(still_sheet ${CMAKE_BINARY_DIR}/desktop-still-sheet.ppm)

# Debian 12's emscripten reads its .wasm through fetch under node 18 and later,
# which fails for a file: it falls back to reading it directly without.
add_test(NAME web.clothtrace_matches_native
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/clothtrace-matches.sh $<TARGET_FILE:clothtrace>
          ${NODE_PROGRAM} --no-experimental-fetch ${web}/tools/clothtrace.js)
set_tests_properties(web.clothtrace_matches_native PROPERTIES LABELS web TIMEOUT 300)

add_test(NAME web.desktop_still_sheet
  COMMAND app_e2e_tests --gtest_filter=ShippedProgram.StillSheetShowsItsPictureOverTheHighlightedSphere)
set_tests_properties(web.desktop_still_sheet PROPERTIES ${x_test_properties} LABELS web FIXTURES_SETUP DesktopStillSheet
  ENVIRONMENT "CLOTHSIM_TEST_X=${TEST_X_STATE};CLOTHSIM_STILL_SHEET_PPM=${still_sheet}")

foreach(scenario draws keys pointer missing-picture no-webgl)
  add_test(NAME web.page_${scenario}
    COMMAND ${NODE_PROGRAM} ${CMAKE_CURRENT_SOURCE_DIR}/web_page_test.mjs ${CHROMIUM_PROGRAM} ${web} ${still_sheet} ${scenario})
  set_tests_properties(web.page_${scenario} PROPERTIES LABELS web TIMEOUT 120 RESOURCE_LOCK chromium)
endforeach()
set_tests_properties(web.page_draws PROPERTIES FIXTURES_REQUIRED DesktopStillSheet)

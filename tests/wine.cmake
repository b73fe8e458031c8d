# The Windows build, cross-built in CLOTHSIM_WINDOWS_BUILD (./build.sh
# windows-test), run under Wine: clothtrace.exe against the Linux clothtrace,
# the cloth tests, and the program on the test X server. Labelled "wine", which
# ./build.sh test leaves out.
if(NOT TARGET window_driver)
  message(FATAL_ERROR "The Windows build's tests run on the desktop tests' X server, which is off")
endif()
find_program(WINE_PROGRAM NAMES wine64 wine PATHS /usr/lib/wine)
if(NOT WINE_PROGRAM)
  clothsim_missing(Wine wine64 wine wine)
endif()
set(windows ${CLOTHSIM_WINDOWS_BUILD})
set(wine_prefix ${CMAKE_BINARY_DIR}/test-wine)
add_test(NAME wine_prefix_start COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/wine-prefix.sh start ${wine_prefix} ${WINE_PROGRAM})
add_test(NAME wine_prefix_stop COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/wine-prefix.sh stop ${wine_prefix} ${WINE_PROGRAM})
set_tests_properties(wine_prefix_start PROPERTIES FIXTURES_SETUP Wine TIMEOUT 120 LABELS wine)
set_tests_properties(wine_prefix_stop PROPERTIES FIXTURES_CLEANUP Wine LABELS wine)

add_test(NAME wine.clothtrace_matches_linux
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/clothtrace-matches.sh $<TARGET_FILE:clothtrace>
          ${WINE_PROGRAM} ${windows}/tools/clothtrace.exe)
add_test(NAME wine.cloth_tests COMMAND ${WINE_PROGRAM} ${windows}/tests/cloth_tests.exe)
set_tests_properties(wine.clothtrace_matches_linux wine.cloth_tests PROPERTIES
  FIXTURES_REQUIRED Wine LABELS wine TIMEOUT 300 ENVIRONMENT "WINEPREFIX=${wine_prefix};WINEDEBUG=-all")

# No aligned 256-bit move anywhere: mingw's stack is aligned to 16 bytes only.
add_test(NAME wine.no_aligned_avx_moves
  COMMAND sh -c "! x86_64-w64-mingw32-objdump -d \"$0\" \"$1\" | grep -E 'vmov(aps|apd|dqa).*ymm'"
          ${windows}/app/clothsim.exe ${windows}/tools/clothtrace.exe)
set_tests_properties(wine.no_aligned_avx_moves PROPERTIES LABELS wine)

add_executable(wine_e2e_tests wine_e2e_test.cpp)
target_link_libraries(wine_e2e_tests PRIVATE window_driver GTest::gtest_main)
target_compile_definitions(wine_e2e_tests PRIVATE WINE="${WINE_PROGRAM}" WINE_PREFIX="${wine_prefix}"
  CLOTHSIM_EXE="${windows}/app/clothsim.exe" PROJECT_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
add_test(NAME wine.clothsim_exe COMMAND wine_e2e_tests)
set_tests_properties(wine.clothsim_exe PROPERTIES FIXTURES_REQUIRED "Xvfb;Wine" RESOURCE_LOCK x_input
  LABELS wine TIMEOUT 300 ENVIRONMENT "CLOTHSIM_TEST_X=${TEST_X_STATE};CLOTHSIM_WATCHDOG_SECONDS=240")

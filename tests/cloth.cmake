# The simulation, headless: unit tests, a literal second implementation to compare
# bit for bit, and the clothtrace tool's command line.
add_executable(cloth_tests
  cloth_grid_test.cpp
  accumulate_forces_test.cpp
  wind_force_test.cpp
  integrate_cloth_test.cpp
  cloth_normals_test.cpp
  cloth_frame_test.cpp
  cloth_reference.cpp
)
target_link_libraries(cloth_tests PRIVATE cloth GTest::gtest_main)
target_compile_definitions(cloth_tests PRIVATE CLOTHTRACE_PATH="$<TARGET_FILE:clothtrace>")
add_dependencies(cloth_tests clothtrace)
if(WIN32)
  # Whole grids on the stack: Linux gives 8 MiB, Windows 1 MiB unless asked.
  target_link_options(cloth_tests PRIVATE -Wl,--stack,16777216)
else()
  gtest_discover_tests(cloth_tests WORKING_DIRECTORY ${PROJECT_SOURCE_DIR} PROPERTIES TIMEOUT 60 LABELS unit)
endif()

# The bitmap reader's tests; ./build.sh sanitize runs them under AddressSanitizer
# and UndefinedBehaviorSanitizer, so a read outside a buffer fails there.
set(IMAGE_TEST_SOURCES
  dib_decoder_test.cpp
  dib_reader_test.cpp
  bmp_suite_test.cpp)
# The public suite, kept with the tests (see data/bmpsuite/README.md).
set(BMPSUITE_DIR ${CMAKE_CURRENT_SOURCE_DIR}/data/bmpsuite)

add_executable(image_tests ${IMAGE_TEST_SOURCES})
target_link_libraries(image_tests PRIVATE image fake_window_system GTest::gtest_main)
target_compile_definitions(image_tests PRIVATE BMPSUITE_DIR="${BMPSUITE_DIR}")
gtest_discover_tests(image_tests NO_PRETTY_VALUES WORKING_DIRECTORY ${PROJECT_SOURCE_DIR} PROPERTIES TIMEOUT 30 LABELS unit)

# dibdump: a suite file to a PPM equal to the expected one; a refusal on stderr
# with status 1.
add_test(NAME dibdump.WritesTopRowFirstPpm
  COMMAND ${CMAKE_COMMAND} -DDIBDUMP=$<TARGET_FILE:dibdump> -DINPUT=${BMPSUITE_DIR}/g/pal8topdown.bmp
          -DOUTPUT=${CMAKE_CURRENT_BINARY_DIR}/pal8topdown.ppm -DEXPECTED=${BMPSUITE_DIR}/expected/pal8topdown.ppm
          -P ${CMAKE_CURRENT_SOURCE_DIR}/dibdump_check.cmake)
add_test(NAME dibdump.RefusalGoesToStderr
  COMMAND ${CMAKE_COMMAND} -DDIBDUMP=$<TARGET_FILE:dibdump> -DINPUT=${BMPSUITE_DIR}/g/pal8v5.bmp
          -DOUTPUT=${CMAKE_CURRENT_BINARY_DIR}/pal8v5.ppm "-DEXPECTED_ERROR=Error: Unknown DIB file format."
          -P ${CMAKE_CURRENT_SOURCE_DIR}/dibdump_check.cmake)

# The committed picture is exactly what its generator writes.
add_test(NAME make_foulard.RegeneratesCommittedPicture
  COMMAND ${CMAKE_COMMAND} -DGENERATOR=$<TARGET_FILE:make_foulard>
          -DOUTPUT=${CMAKE_CURRENT_BINARY_DIR}/foulard.bmp -DEXPECTED=${PROJECT_SOURCE_DIR}/Data/foulard.bmp
          -P ${CMAKE_CURRENT_SOURCE_DIR}/dibdump_check.cmake)
set_tests_properties(dibdump.WritesTopRowFirstPpm dibdump.RefusalGoesToStderr
                     make_foulard.RegeneratesCommittedPicture PROPERTIES LABELS unit)

# The zip and the installer packages that `make dist` builds (scripts/dist.sh),
# tried as a user would: built into the build folder, the zip unpacked into a
# fresh folder of the test prefix (C:\tidewell_dist), where an e2e case starts
# the program, and the packages beside it (C:\tidewell_dist\packages), which
# an e2e case installs and removes; the folder goes again after the run.
set(TW_DIST_FOLDER ${CMAKE_BINARY_DIR}/wineprefix/drive_c/tidewell_dist)
add_test(NAME dist_unpack COMMAND bash ${CMAKE_SOURCE_DIR}/tests/e2e/dist-unpack.sh
                                   ${CMAKE_BINARY_DIR} ${TW_DIST_FOLDER})
set_tests_properties(dist_unpack PROPERTIES FIXTURES_SETUP tw_dist)
add_test(NAME dist_remove COMMAND ${CMAKE_COMMAND} -E rm -rf ${TW_DIST_FOLDER} ${CMAKE_BINARY_DIR}/dist)
set_tests_properties(dist_remove PROPERTIES FIXTURES_CLEANUP tw_dist)
set_property(TEST e2e_tests APPEND PROPERTY FIXTURES_REQUIRED tw_dist)

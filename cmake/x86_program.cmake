# The 32-bit program (the win32 preset, built beside this one) tried in this
# build's prefix under 32-bit Wine: its import table is checked for anything
# newer than Windows XP, and a copy beside the programs (P:\x86) is what the
# e2e cases start.
set(TW_WIN32_BUILD_DIR ${CMAKE_SOURCE_DIR}/build/win32 CACHE PATH "The 32-bit program's build folder")
set(TW_X86_FOLDER ${CMAKE_BINARY_DIR}/bin/x86)
add_test(NAME xp_imports COMMAND bash ${CMAKE_SOURCE_DIR}/tests/imports/xp-imports.sh
                                  i686-w64-mingw32-objdump ${TW_WIN32_BUILD_DIR}/bin/tidewell.exe)
add_test(NAME x86_program_copy
         COMMAND bash -c "mkdir -p \"$2\" && cp \"$1/tidewell.exe\" \"$1/RC409.dll\" \"$2/\""
                 copy ${TW_WIN32_BUILD_DIR}/bin ${TW_X86_FOLDER})
set_tests_properties(x86_program_copy PROPERTIES FIXTURES_SETUP tw_x86)
add_test(NAME x86_program_remove COMMAND ${CMAKE_COMMAND} -E rm -rf ${TW_X86_FOLDER})
set_tests_properties(x86_program_remove PROPERTIES FIXTURES_CLEANUP tw_x86)
set_property(TEST e2e_tests APPEND PROPERTY FIXTURES_REQUIRED tw_x86)

# A language library that lacks the product name (string 57755): the English
# one with that string taken out, for the start-up test that such a library
# is passed over. Kept in a folder of its own, so that no program of the
# build lists it among its languages.
set(TW_NAMELESS_RC ${CMAKE_BINARY_DIR}/nameless/rc409_nameless.rc)
add_custom_command(OUTPUT ${TW_NAMELESS_RC}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/nameless
  COMMAND sed "/^ *IDS_57755 /d" ${CMAKE_SOURCE_DIR}/src/resources/rc409.rc > ${TW_NAMELESS_RC}
  DEPENDS ${CMAKE_SOURCE_DIR}/src/resources/rc409.rc
  VERBATIM)
add_library(RC409_nameless MODULE ${TW_NAMELESS_RC})
# The copy finds the header and the pictures where the original does.
target_include_directories(RC409_nameless PRIVATE ${CMAKE_SOURCE_DIR}/src/resources)
set_source_files_properties(${TW_NAMELESS_RC} PROPERTIES OBJECT_DEPENDS "${TW_RC_INPUTS}")
set_target_properties(RC409_nameless PROPERTIES PREFIX "" OUTPUT_NAME RC409 SUFFIX ".dll"
  LINKER_LANGUAGE C LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin/nameless)
target_link_options(RC409_nameless PRIVATE -nostdlib -Wl,--entry=0 -s)
add_dependencies(e2e_tests RC409_nameless)

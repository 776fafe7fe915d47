# The plug-in page's test component: a small in-process COM server that
# regsvr32 registers as a helper object, a toolbar and a toolbar button, beside
# the programs, for the page's end-to-end tests.
add_library(tw_plugin_com MODULE ${CMAKE_SOURCE_DIR}/tests/e2e/target/plugin_com_server.cpp)
set_target_properties(tw_plugin_com PROPERTIES PREFIX "" OUTPUT_NAME tw_plugin_com SUFFIX ".dll"
  LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
target_link_libraries(tw_plugin_com PRIVATE advapi32)
if(TARGET e2e_tests)
  add_dependencies(e2e_tests tw_plugin_com)
endif()

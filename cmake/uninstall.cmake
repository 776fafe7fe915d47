# The uninstall page's test peers: a small program that registers its own
# uninstall entry and removes it when started, and two real Windows Installer
# packages (32- and 64-bit) built with wixl, which the page's end-to-end tests
# install into the prefix with the system's msiexec.
add_executable(tw_uninstaller WIN32 ${CMAKE_SOURCE_DIR}/tests/e2e/uninstaller/test_uninstaller.cpp)
target_link_libraries(tw_uninstaller PRIVATE advapi32)
set_target_properties(tw_uninstaller PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

find_program(TW_WIXL wixl)
set(TW_PACKAGE_SOURCES ${CMAKE_SOURCE_DIR}/tests/e2e/uninstall_packages)
set(TW_PACKAGES)
foreach(pkg IN ITEMS notes_x86:x86 atlas_x64:x64)
  string(REPLACE ":" ";" parts ${pkg})
  list(GET parts 0 name)
  list(GET parts 1 arch)
  set(out ${CMAKE_BINARY_DIR}/bin/uninstall_packages/${name}.msi)
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/bin/uninstall_packages
    COMMAND ${TW_WIXL} -a ${arch} -o ${out} ${TW_PACKAGE_SOURCES}/${name}.wxs
    WORKING_DIRECTORY ${TW_PACKAGE_SOURCES}
    DEPENDS ${TW_PACKAGE_SOURCES}/${name}.wxs ${TW_PACKAGE_SOURCES}/readme.txt
            ${TW_PACKAGE_SOURCES}/notes.ico
    VERBATIM)
  list(APPEND TW_PACKAGES ${out})
endforeach()
add_custom_target(tw_uninstall_packages DEPENDS ${TW_PACKAGES})

if(TARGET e2e_tests)
  add_dependencies(e2e_tests tw_uninstaller tw_uninstall_packages)
endif()

# The page's benchmark drives the real program.
if(TARGET uninstall_winbench)
  target_link_libraries(uninstall_winbench PRIVATE tw_e2e_driver)
  add_dependencies(uninstall_winbench tidewell)
endif()

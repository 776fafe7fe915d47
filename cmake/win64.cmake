# Win32 build: tidewell.exe, its language libraries and the Windows-side test
# programs, which ctest runs under Wine through the cross-compiling emulator.
add_link_options(-static -static-libgcc -static-libstdc++)
# The 32-bit program starts on Windows XP SP3 and declares nothing newer; the
# 64-bit one is for Vista and later. What newer systems add is looked up at
# run time.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0501 WINVER=0x0501 _WIN32_IE=0x0600)
else()
  add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0600 WINVER=0x0600 _WIN32_IE=0x0600)
endif()

tw_library(tidewell_win32 ${TW_WIN32_PLATFORM_SOURCES})
if(TW_WIN32_PLATFORM_SOURCES)
  target_link_libraries(tidewell_win32 PUBLIC advapi32 shell32 ws2_32 user32 gdi32 comctl32 wininet)
else()
  target_link_libraries(tidewell_win32 INTERFACE advapi32 shell32 ws2_32 user32 gdi32 comctl32 wininet)
endif()
target_link_libraries(tidewell_core INTERFACE tidewell_win32)

# The Win32 parts of the program (pages, dialogs, controls, the shell).
tw_library(tidewell_ui ${TW_WIN32_SOURCES})
if(TW_WIN32_SOURCES)
  target_link_libraries(tidewell_ui PUBLIC tidewell_win32 comdlg32 ole32 uuid)
  set(TW_UI_LINK -Wl,--whole-archive tidewell_ui -Wl,--no-whole-archive tidewell_ui)
else()
  target_link_libraries(tidewell_ui INTERFACE tidewell_win32 comdlg32 ole32 uuid)
  set(TW_UI_LINK tidewell_ui)
endif()

set(TW_RC ${CMAKE_SOURCE_DIR}/src/resources/tidewell.rc)
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -c 65001")
add_executable(tidewell WIN32 ${CMAKE_SOURCE_DIR}/src/app/main.cpp ${TW_RC})
target_link_libraries(tidewell PRIVATE ${TW_UI_LINK})
set_target_properties(tidewell PROPERTIES OUTPUT_NAME tidewell RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

# RC409.dll: the English resources, a library of resources only (no code and
# no entry point; the program maps it as an image resource), beside the
# program. Built with the program so that every run finds it there.
add_library(RC409 MODULE ${CMAKE_SOURCE_DIR}/src/resources/rc409.rc)
set_target_properties(RC409 PROPERTIES PREFIX "" OUTPUT_NAME RC409 SUFFIX ".dll"
  LINKER_LANGUAGE C LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
# An entry address of 0 leaves the library without an entry point.
target_link_options(RC409 PRIVATE -nostdlib -Wl,--entry=0 -s)
add_dependencies(tidewell RC409)
# windres reports no dependencies: rebuild both scripts when the shared header,
# the shared image list or a picture changes.
file(GLOB TW_RC_INPUTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/resources/*.h
  ${CMAKE_SOURCE_DIR}/src/resources/*.rci ${CMAKE_SOURCE_DIR}/src/resources/*.manifest
  ${CMAKE_SOURCE_DIR}/src/resources/images/*)
set_source_files_properties(${TW_RC} ${CMAKE_SOURCE_DIR}/src/resources/rc409.rc
  PROPERTIES OBJECT_DEPENDS "${TW_RC_INPUTS}")
# The 32-bit build is the program alone, for Windows XP and later; its
# tests run in the 64-bit build's prefix (cmake/x86_program.cmake).
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  return()
endif()

# GoogleTest, cross-built from the distro's sources.
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

function(tw_win_test name)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
  add_test(NAME ${name} COMMAND ${name})
endfunction()

# The contract suites, against the real (Wine) registry and file system.
file(GLOB TW_CONTRACT_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/contract/*_test.cpp)
add_executable(contract_win32 ${TW_CONTRACT_TESTS} ${CMAKE_SOURCE_DIR}/tests/contract/backend_win32.cpp)
target_link_libraries(contract_win32 PRIVATE tidewell_win32 tidewell_memory gtest gtest_main)
tw_win_test(contract_win32)

# Engines and the Win32 backend on the real registry and file system.
file(GLOB_RECURSE TW_WIN_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/win/*.cpp)
if(TW_WIN_TESTS)
  add_executable(win_tests ${TW_WIN_TESTS})
  target_link_libraries(win_tests PRIVATE tidewell_ui tidewell_memory gtest gmock gtest_main)
  tw_win_test(win_tests)
endif()

# End-to-end tests: they start the real tidewell.exe (and the driver's own
# target program) and drive their windows from a second process. The driver
# (tests/e2e/driver*.cpp) is a library so other test programs can use it.
file(GLOB TW_E2E_DRIVER CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/e2e/driver*.cpp)
list(FILTER TW_E2E_DRIVER EXCLUDE REGEX "_test\\.cpp$")
add_library(tw_e2e_driver STATIC ${TW_E2E_DRIVER})
target_include_directories(tw_e2e_driver PUBLIC ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(tw_e2e_driver PUBLIC user32 gdi32 comctl32)

add_executable(e2e_target WIN32 ${CMAKE_SOURCE_DIR}/tests/e2e/target/e2e_target.cpp)
target_link_libraries(e2e_target PRIVATE comctl32 user32 gdi32)
set_target_properties(e2e_target PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

file(GLOB_RECURSE TW_E2E_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/e2e/*.cpp)
list(FILTER TW_E2E_TESTS EXCLUDE REGEX "/tests/e2e/target/")
list(FILTER TW_E2E_TESTS EXCLUDE REGEX "/tests/e2e/shell_probe/")
list(REMOVE_ITEM TW_E2E_TESTS ${TW_E2E_DRIVER})
add_executable(e2e_tests ${TW_E2E_TESTS})
target_link_libraries(e2e_tests PRIVATE tw_e2e_driver tidewell_win32 gtest gmock gtest_main)
tw_win_test(e2e_tests)
add_dependencies(e2e_tests tidewell e2e_target)

# The shell with test seams: the same program plus one translation unit that
# sets its test hooks (not administrator, scan flag commands, menu log, a
# local version-query address). tidewell.exe itself never links it.
add_executable(tw_shell_probe WIN32 ${CMAKE_SOURCE_DIR}/tests/e2e/shell_probe/shell_probe.cpp ${TW_RC})
target_include_directories(tw_shell_probe PRIVATE ${CMAKE_SOURCE_DIR}/src)
target_link_libraries(tw_shell_probe PRIVATE ${TW_UI_LINK})
set_target_properties(tw_shell_probe PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
add_dependencies(e2e_tests tw_shell_probe)
# Every e2e program shares the one display and the programs it starts: they
# run one at a time, never beside another. The screenshots they leave under
# C:\screens become PNGs in screenshots/ afterwards.
set_tests_properties(e2e_tests PROPERTIES RESOURCE_LOCK tw_display FIXTURES_REQUIRED tw_screenshots)
add_test(NAME e2e_screenshots
         COMMAND bash ${CMAKE_SOURCE_DIR}/tests/e2e/collect-screenshots.sh ${CMAKE_BINARY_DIR})
set_tests_properties(e2e_screenshots PROPERTIES FIXTURES_CLEANUP tw_screenshots)
add_test(NAME e2e_screenshots_clear
         COMMAND bash ${CMAKE_SOURCE_DIR}/tests/e2e/collect-screenshots.sh --clear ${CMAKE_BINARY_DIR})
set_tests_properties(e2e_screenshots_clear PROPERTIES FIXTURES_SETUP tw_screenshots)

if(TARGET win_tests)
  add_dependencies(win_tests tidewell RC409)
endif()

# Benchmarks that run under Wine: bench/*_winbench.cpp, one program each
# (bench/run.sh runs them). The native ones are bench/*_bench.cpp.
file(GLOB TW_WINBENCH_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/bench/*_winbench.cpp)
foreach(src IN LISTS TW_WINBENCH_SOURCES)
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} ${src})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/bench ${CMAKE_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE tidewell_memory tidewell_win32 psapi)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
endforeach()
# The registry page's benchmark drives the real program through the e2e driver.
if(TARGET regpage_winbench)
  target_link_libraries(regpage_winbench PRIVATE tw_e2e_driver)
  add_dependencies(regpage_winbench tidewell)
endif()

# The clock tests' private chronyd servers on loopback, started around the
# Windows programs that query them: one with the host's time, one whose time
# runs 30 s ahead (so that setting the clock really is a change). The
# programs find their ports in P:\clock_chronyd\port and
# P:\clock_chronyd_skewed\port.
foreach(server IN ITEMS clock_chronyd clock_chronyd_skewed)
  if(server STREQUAL "clock_chronyd_skewed")
    set(skew TW_CHRONYD_SKEW=+30)
  else()
    set(skew TW_CHRONYD_SKEW=)
  endif()
  add_test(NAME ${server}_start
           COMMAND ${CMAKE_COMMAND} -E env ${skew} ${CMAKE_SOURCE_DIR}/scripts/chronyd-test.sh
                   start ${CMAKE_BINARY_DIR}/bin/${server})
  add_test(NAME ${server}_stop
           COMMAND ${CMAKE_SOURCE_DIR}/scripts/chronyd-test.sh stop ${CMAKE_BINARY_DIR}/bin/${server})
  set_tests_properties(${server}_start PROPERTIES FIXTURES_SETUP ${server})
  set_tests_properties(${server}_stop PROPERTIES FIXTURES_CLEANUP ${server})
endforeach()
foreach(t IN ITEMS win_tests e2e_tests)
  if(TEST ${t})
    set_property(TEST ${t} APPEND PROPERTY FIXTURES_REQUIRED clock_chronyd clock_chronyd_skewed)
    set_property(TEST ${t} APPEND PROPERTY ENVIRONMENT
                 "TW_CLOCK_CHRONYD_PORT_FILE=P:\\clock_chronyd\\port"
                 "TW_CLOCK_CHRONYD_SKEWED_PORT_FILE=P:\\clock_chronyd_skewed\\port")
  endif()
endforeach()

# The clock page alone in a window, built with the test hooks (its server
# list can be pointed at the private chronyd), for the page's end-to-end test.
add_executable(clock_page_host WIN32 ${CMAKE_SOURCE_DIR}/tests/e2e/target/clock_page_host.cpp
               ${CMAKE_SOURCE_DIR}/src/clock_sync/time_servers.cpp ${TW_RC})
target_compile_definitions(clock_page_host PRIVATE TW_TEST_HOOKS)
target_link_libraries(clock_page_host PRIVATE tidewell_ui comctl32)
set_target_properties(clock_page_host PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
if(TARGET e2e_tests)
  add_dependencies(e2e_tests clock_page_host)
endif()
include(${CMAKE_SOURCE_DIR}/cmake/dist.cmake)
include(${CMAKE_SOURCE_DIR}/cmake/plugins.cmake)
include(${CMAKE_SOURCE_DIR}/cmake/uninstall.cmake)
include(${CMAKE_SOURCE_DIR}/cmake/shell_tests.cmake)
include(${CMAKE_SOURCE_DIR}/cmake/junk_bench.cmake)
include(${CMAKE_SOURCE_DIR}/cmake/x86_program.cmake)

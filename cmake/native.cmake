# Native build: the portable core, its unit tests and benchmarks.
tw_library(tidewell_posix ${TW_POSIX_SOURCES})
# The core calls into the text conversion and socket backends by name; the
# native build's backends are the POSIX ones.
target_link_libraries(tidewell_core INTERFACE tidewell_posix)

find_package(GTest REQUIRED)

file(GLOB_RECURSE TW_UNIT_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/unit/*.cpp)
add_executable(unit_tests ${TW_UNIT_TESTS})
target_include_directories(unit_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(unit_tests PRIVATE tidewell_memory tidewell_posix GTest::gtest GTest::gmock GTest::gtest_main)
# Where tests that need a folder on disk (the private chronyd) keep it.
target_compile_definitions(unit_tests PRIVATE TW_NATIVE_BUILD_DIR="${CMAKE_BINARY_DIR}"
                                              TW_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
add_test(NAME unit_tests COMMAND unit_tests)

# The contract suites, against the in-memory backends.
file(GLOB TW_CONTRACT_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/contract/*_test.cpp)
add_executable(contract_memory ${TW_CONTRACT_TESTS} ${CMAKE_SOURCE_DIR}/tests/contract/backend_memory.cpp)
target_include_directories(contract_memory PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(contract_memory PRIVATE tidewell_memory tidewell_posix GTest::gtest GTest::gtest_main)
add_test(NAME contract_memory COMMAND contract_memory)

file(GLOB TW_BENCH_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/bench/*_bench.cpp)
foreach(src IN LISTS TW_BENCH_SOURCES)
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} ${src})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/bench ${CMAKE_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE tidewell_memory tidewell_posix)
  # Where a benchmark finds the project's scripts and keeps its files.
  target_compile_definitions(${name} PRIVATE TW_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
                                             TW_NATIVE_BUILD_DIR="${CMAKE_BINARY_DIR}")
endforeach()

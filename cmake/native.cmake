# Native Linux build: product sources over platform/simulation, our Win32 simulation.
include(cmake/warnings.cmake)

option(CVN_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(CVN_FUZZ "Build the libFuzzer targets of fuzz/ (clang only; implies CVN_SANITIZE)" OFF)
if(CVN_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "CVN_FUZZ needs clang: configure with the fuzz preset")
  endif()
  # Coverage for the fuzzer in everything; its runtime only in its targets.
  add_compile_options(-fsanitize=fuzzer-no-link)
  set(CVN_SANITIZE ON)
endif()
if(CVN_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()

file(GLOB CVN_SIM_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/platform/simulation/*.cpp)
add_library(cvn_sim STATIC ${CVN_SIM_SOURCES})
target_include_directories(cvn_sim PUBLIC ${CMAKE_SOURCE_DIR}/platform/simulation
                                          ${CMAKE_SOURCE_DIR}/resources)
cvn_warnings(cvn_sim)

add_library(cvn_product STATIC ${CVN_PRODUCT_SOURCES})
target_include_directories(cvn_product PUBLIC ${CMAKE_SOURCE_DIR}/common
                                              ${CMAKE_SOURCE_DIR}/uninstall
                                              ${CMAKE_SOURCE_DIR}/envcheck
                                              ${CMAKE_SOURCE_DIR}/resources)
target_link_libraries(cvn_product PUBLIC cvn_sim)
cvn_warnings(cvn_product)

# Branch coverage of the product code alone (scripts/test.sh reads it with
# gcovr): only cvn_product is instrumented, whoever links it gets libgcov.
# Two UBSan checks would add a branch of their own to every string call and
# division, which no test can take; a null argument or a division by zero
# still ends the run with a deadly signal under ASan.
option(CVN_COVERAGE "Instrument the product code for gcov coverage (g++ only)" OFF)
if(CVN_COVERAGE)
  target_compile_options(cvn_product PRIVATE --coverage
                         -fno-sanitize=nonnull-attribute,integer-divide-by-zero)
  target_link_options(cvn_product INTERFACE --coverage)
endif()

find_package(GTest REQUIRED)
file(GLOB CVN_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/native/*.cpp)
# The fuzz targets also run in the unit tests, over their seed corpora.
file(GLOB CVN_FUZZ_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/fuzz/*_fuzz.cpp)
set_source_files_properties(${CMAKE_SOURCE_DIR}/tests/native/fuzz_corpus_test.cpp PROPERTIES
                            COMPILE_DEFINITIONS CVN_FUZZ_CORPUS="${CMAKE_SOURCE_DIR}/fuzz/corpus"
                            INCLUDE_DIRECTORIES ${CMAKE_SOURCE_DIR}/fuzz)
add_executable(cvn_tests ${CVN_TEST_SOURCES} ${CVN_FUZZ_SOURCES})
target_include_directories(cvn_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests/native)
target_link_libraries(cvn_tests PRIVATE cvn_product GTest::gtest GTest::gtest_main)
cvn_warnings(cvn_tests)
add_test(NAME native_unit_tests COMMAND cvn_tests --gtest_brief=1)

file(GLOB CVN_BENCH_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/bench/*.cpp)
find_package(benchmark QUIET)
if(CVN_BENCH_SOURCES AND benchmark_FOUND)
  add_executable(cvn_bench ${CVN_BENCH_SOURCES})
  # One main for every benchmark file: none of them defines its own.
  target_link_libraries(cvn_bench PRIVATE cvn_product benchmark::benchmark_main)
  cvn_warnings(cvn_bench)
endif()

if(CVN_FUZZ)
  include(cmake/fuzz.cmake)
endif()

# The simulation's side of the differential report check
# (tests/wine/scenarios/differential.sh runs it on each machine description).
add_executable(cvn_sim_report ${CMAKE_SOURCE_DIR}/tests/differential/sim_report.cpp
                              ${CMAKE_SOURCE_DIR}/tests/native/version_block.cpp)
target_include_directories(cvn_sim_report PRIVATE ${CMAKE_SOURCE_DIR}/tests/native)
target_link_libraries(cvn_sim_report PRIVATE cvn_product)
cvn_warnings(cvn_sim_report)

# Conformance cases of the simulation (tests/conformance): the same cases are
# built for Windows and run under Wine (cmake/wine_tests.cmake).
file(GLOB CVN_CONFORMANCE_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/conformance/*.cpp)
add_executable(cvn_conformance ${CVN_CONFORMANCE_SOURCES} ${CMAKE_SOURCE_DIR}/tests/native/version_block.cpp
                               ${CMAKE_SOURCE_DIR}/tests/native/net_listener.cpp)
target_compile_definitions(cvn_conformance PRIVATE CVN_SIM)
target_include_directories(cvn_conformance PRIVATE ${CMAKE_SOURCE_DIR}/tests/conformance
                                                   ${CMAKE_SOURCE_DIR}/tests/native)
target_link_libraries(cvn_conformance PRIVATE cvn_sim)
cvn_warnings(cvn_conformance)
add_test(NAME sim_conformance COMMAND cvn_conformance)
# The same cases on machines whose ANSI code page has characters of two bytes.
foreach(code_page 932 936 949 950)
  add_test(NAME sim_conformance_cp${code_page} COMMAND cvn_conformance code-page ${code_page})
endforeach()

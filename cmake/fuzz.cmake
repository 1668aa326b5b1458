# libFuzzer targets (CVN_FUZZ, clang only): one executable per fuzz/*_fuzz.cpp,
# named cvn_fuzz_<name>, over the product and the simulation, which are built
# with coverage instrumentation for it (see native.cmake). All of them:
# the target cvn_fuzzers. cvn_fuzz_seeds writes the seed corpora (fuzz/corpus).
add_custom_target(cvn_fuzzers)
foreach(source ${CVN_FUZZ_SOURCES})
  get_filename_component(name ${source} NAME_WE)
  string(REGEX REPLACE "_fuzz$" "" name ${name})
  add_executable(cvn_fuzz_${name} ${source})
  target_compile_definitions(cvn_fuzz_${name} PRIVATE CVN_FUZZ_MAIN)
  target_link_libraries(cvn_fuzz_${name} PRIVATE cvn_product)
  target_link_options(cvn_fuzz_${name} PRIVATE -fsanitize=fuzzer)
  cvn_warnings(cvn_fuzz_${name})
  add_dependencies(cvn_fuzzers cvn_fuzz_${name})
endforeach()

add_executable(cvn_fuzz_seeds ${CMAKE_SOURCE_DIR}/fuzz/make_seeds.cpp
                              ${CMAKE_SOURCE_DIR}/tests/native/version_block.cpp)
target_include_directories(cvn_fuzz_seeds PRIVATE ${CMAKE_SOURCE_DIR}/tests/native)
target_link_libraries(cvn_fuzz_seeds PRIVATE cvn_sim)
cvn_warnings(cvn_fuzz_seeds)
add_dependencies(cvn_fuzzers cvn_fuzz_seeds)

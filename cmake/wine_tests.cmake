# Tests of the real binaries under Wine (ctest --preset win32).
#   tests/wine/hosts/<name>.cpp      -> <name>.exe, a win32 test host (tests/wine/check.h)
#   tests/wine/scenarios/<name>.sh   -> CTest test wine.<name> (tests/wine/lib.sh)
# Scenarios share one Wine prefix made once per run by the wine.prefix_setup
# fixture; a scenario whose script has a line "# no-wine" runs without it.
find_program(CVN_BASH bash REQUIRED)

# Product sources a host tests directly, beyond what the DLL exports.
set(CVN_HOST_SOURCES_version_reader_test ${CMAKE_SOURCE_DIR}/envcheck/version_reader.cpp
                                         ${CMAKE_SOURCE_DIR}/common/code_page.cpp)

file(GLOB CVN_WINE_HOSTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/wine/hosts/*.cpp)
foreach(source ${CVN_WINE_HOSTS})
  get_filename_component(host ${source} NAME_WE)
  add_executable(${host} ${source} ${CVN_HOST_SOURCES_${host}})
  target_include_directories(${host} PRIVATE ${CMAKE_SOURCE_DIR}/tests/wine
                                             ${CMAKE_SOURCE_DIR}/include
                                             ${CMAKE_SOURCE_DIR}/resources
                                             ${CMAKE_SOURCE_DIR}/common
                                             ${CMAKE_SOURCE_DIR}/uninstall
                                             ${CMAKE_SOURCE_DIR}/envcheck
                                             ${CMAKE_SOURCE_DIR}/platform/win32)
  target_compile_definitions(${host} PRIVATE __USE_MINGW_ANSI_STDIO=0)
  target_link_options(${host} PRIVATE -static)
  target_link_libraries(${host} PRIVATE -lversion -lwsock32 ${CVN_ICMP_IMPLIB}
                                        -ladvapi32 -luser32 -lkernel32)
  # Hosts load the DLL at run time; building one builds everything they test.
  add_dependencies(${host} cvn_icmp_implib CVNUNIST cvncheck)
  cvn_warnings(${host})
endforeach()

set(CVN_WINE_ENVIRONMENT
    CVN_SOURCE_DIR=${CMAKE_SOURCE_DIR}
    CVN_BUILD_DIR=${CMAKE_BINARY_DIR}
    CVN_WINE_DIR=${CMAKE_BINARY_DIR}/wine
    CVN_OBJDUMP=${CMAKE_OBJDUMP})

add_test(NAME wine.prefix_setup
         COMMAND ${CVN_BASH} ${CMAKE_SOURCE_DIR}/tests/wine/prefix_setup.sh)
add_test(NAME wine.prefix_cleanup
         COMMAND ${CVN_BASH} ${CMAKE_SOURCE_DIR}/tests/wine/prefix_cleanup.sh)
set_tests_properties(wine.prefix_setup PROPERTIES FIXTURES_SETUP wine_prefix)
set_tests_properties(wine.prefix_cleanup PROPERTIES FIXTURES_CLEANUP wine_prefix)
set(CVN_WINE_TESTS wine.prefix_setup wine.prefix_cleanup)

file(GLOB CVN_WINE_SCENARIOS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/wine/scenarios/*.sh)
foreach(script ${CVN_WINE_SCENARIOS})
  get_filename_component(scenario ${script} NAME_WE)
  add_test(NAME wine.${scenario} COMMAND ${CVN_BASH} ${script})
  file(STRINGS ${script} no_wine REGEX "^# no-wine")
  if(NOT no_wine)
    set_tests_properties(wine.${scenario} PROPERTIES FIXTURES_REQUIRED wine_prefix)
  endif()
  list(APPEND CVN_WINE_TESTS wine.${scenario})
endforeach()

# One Wine machine at a time: scenarios share the prefix and its server.
set_tests_properties(${CVN_WINE_TESTS} PROPERTIES
  ENVIRONMENT "${CVN_WINE_ENVIRONMENT}"
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
  RESOURCE_LOCK wine
  TIMEOUT 900)

# The conformance cases of the simulation (tests/conformance) over the real
# API, run by the scenario wine.conformance; the host carries the message
# catalog for LoadStringA.
file(GLOB CVN_CONFORMANCE_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/conformance/*.cpp)
add_executable(conformance ${CVN_CONFORMANCE_SOURCES} ${CMAKE_SOURCE_DIR}/tests/native/version_block.cpp)
cvn_resources(conformance ${CMAKE_SOURCE_DIR}/tests/conformance/conformance.rc)
target_include_directories(conformance PRIVATE ${CMAKE_SOURCE_DIR}/tests/conformance
                                               ${CMAKE_SOURCE_DIR}/tests/native
                                               ${CMAKE_SOURCE_DIR}/platform/win32)
target_link_options(conformance PRIVATE -static)
target_link_libraries(conformance PRIVATE -lversion -lwsock32 ${CVN_ICMP_IMPLIB} -ladvapi32 -luser32 -lkernel32)
add_dependencies(conformance cvn_icmp_implib)
cvn_warnings(conformance)

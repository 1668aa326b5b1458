# Windows build: the real CVNUNIST.dll, its console host cvncheck.exe and the
# Wine test hosts, cross-built with MinGW i686 (cmake/mingw-i686.cmake).
include(cmake/warnings.cmake)
enable_language(RC)

# Binaries side by side, so hosts find CVNUNIST.dll in their own directory.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
set(CMAKE_ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib)

# No libraries behind our back: each target names what it links.
set(CMAKE_C_STANDARD_LIBRARIES "")
set(CMAKE_CXX_STANDARD_LIBRARIES "")

set(CVN_GENERATED ${CMAKE_BINARY_DIR}/generated)
file(MAKE_DIRECTORY ${CVN_GENERATED})

# ---- Import library of icmp.dll (MinGW ships none) ----------------------------
set(CVN_ICMP_IMPLIB ${CMAKE_BINARY_DIR}/lib/libicmp.a)
add_custom_command(
  OUTPUT ${CVN_ICMP_IMPLIB}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/lib
  COMMAND ${CMAKE_DLLTOOL} --kill-at -d ${CMAKE_SOURCE_DIR}/resources/icmp.def
          -l ${CVN_ICMP_IMPLIB}
  DEPENDS ${CMAKE_SOURCE_DIR}/resources/icmp.def
  COMMENT "Import library for icmp.dll")
add_custom_target(cvn_icmp_implib DEPENDS ${CVN_ICMP_IMPLIB})

# ---- Message catalog as a string table ------------------------------------------
set(CVN_CATALOG_RC ${CVN_GENERATED}/catalog.rc)
add_custom_command(
  OUTPUT ${CVN_CATALOG_RC}
  COMMAND ${CMAKE_COMMAND} -DCATALOG=${CVN_CATALOG} -DOUTPUT=${CVN_CATALOG_RC}
          -P ${CMAKE_SOURCE_DIR}/cmake/catalog_rc.cmake
  DEPENDS ${CVN_CATALOG} ${CMAKE_SOURCE_DIR}/cmake/catalog_rc.cmake
  COMMENT "String table of the message catalog")
add_custom_target(cvn_catalog_rc DEPENDS ${CVN_CATALOG_RC})

# Resource scripts that include the version resource and the catalog.
function(cvn_resources target rc_file)
  target_sources(${target} PRIVATE ${rc_file})
  set_source_files_properties(${rc_file} PROPERTIES OBJECT_DEPENDS
    "${CVN_CATALOG_RC};${CMAKE_SOURCE_DIR}/resources/version_info.rc;${CMAKE_SOURCE_DIR}/resources/version.h")
  target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR}/resources ${CVN_GENERATED})
  add_dependencies(${target} cvn_catalog_rc)
endfunction()

# ---- Product code -------------------------------------------------------------------
# Built once, linked into the DLL and into cvncheck.exe. msvcrt's own printf
# (MinGW's replacement prints only the first character of wprintf's %s), and
# nothing newer than the Windows NT 4.0 headers offer.
add_library(cvn_product OBJECT ${CVN_PRODUCT_SOURCES})
target_include_directories(cvn_product PUBLIC ${CMAKE_SOURCE_DIR}/platform/win32
                                              ${CMAKE_SOURCE_DIR}/uninstall
                                              ${CMAKE_SOURCE_DIR}/envcheck
                                              ${CMAKE_SOURCE_DIR}/resources)
target_compile_definitions(cvn_product PUBLIC __USE_MINGW_ANSI_STDIO=0
                                              _WIN32_WINNT=0x0400 WINVER=0x0400)
cvn_warnings(cvn_product)

# Linking the object library puts every product object into the binary.
# What a product binary may import: the libraries of Windows NT 3.51/4.0, with
# the C++ and gcc runtimes linked in statically.
set(CVN_NT_LINK_OPTIONS
    -static -nodefaultlibs -Wl,--strip-debug
    -Wl,--major-os-version,3 -Wl,--minor-os-version,51
    -Wl,--major-subsystem-version,3 -Wl,--minor-subsystem-version,51)
set(CVN_NT_LIBRARIES
    -Wl,--start-group
    -lstdc++ -lmingw32 -lgcc -lgcc_eh -lmingwex -lmoldname -lmsvcrt
    -lkernel32 -ladvapi32 -luser32 -lwsock32 ${CVN_ICMP_IMPLIB} -lversion
    -Wl,--end-group)

function(cvn_nt_binary target)
  target_link_options(${target} PRIVATE ${CVN_NT_LINK_OPTIONS})
  target_link_libraries(${target} PRIVATE cvn_product ${CVN_NT_LIBRARIES})
  add_dependencies(${target} cvn_icmp_implib)
endfunction()

add_library(CVNUNIST SHARED ${CMAKE_SOURCE_DIR}/resources/cvnunist.def)
set_target_properties(CVNUNIST PROPERTIES PREFIX "" OUTPUT_NAME CVNUNIST SUFFIX ".dll"
                                          LINKER_LANGUAGE CXX)
cvn_resources(CVNUNIST ${CMAKE_SOURCE_DIR}/resources/cvnunist.rc)
cvn_nt_binary(CVNUNIST)

add_executable(cvncheck ${CMAKE_SOURCE_DIR}/hosts/cvncheck.cpp)
cvn_resources(cvncheck ${CMAKE_SOURCE_DIR}/hosts/cvncheck.rc)
cvn_nt_binary(cvncheck)
cvn_warnings(cvncheck)

# ---- Wine tests -----------------------------------------------------------------------
include(cmake/wine_tests.cmake)

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
                                              ${CMAKE_SOURCE_DIR}/common
                                              ${CMAKE_SOURCE_DIR}/uninstall
                                              ${CMAKE_SOURCE_DIR}/envcheck
                                              ${CMAKE_SOURCE_DIR}/resources)
target_compile_definitions(cvn_product PUBLIC __USE_MINGW_ANSI_STDIO=0
                                              _WIN32_WINNT=0x0400 WINVER=0x0400)
cvn_warnings(cvn_product)

# Small product binaries: optimised for size across all objects (link-time
# optimisation also merges strings the sources share), no C++ runtime support
# the code never uses (exceptions, RTTI, unwind tables), one section per
# function so the linker drops what nothing calls, and no compiler banner in
# every object.
set(CVN_NT_COMPILE_OPTIONS -Os -flto -fno-exceptions $<$<COMPILE_LANGUAGE:CXX>:-fno-rtti>
                           -fno-asynchronous-unwind-tables -fno-unwind-tables -fno-ident
                           -ffunction-sections)
target_compile_options(cvn_product PRIVATE ${CVN_NT_COMPILE_OPTIONS})

# Linking the object library puts every product object into the binary.
# What a product binary may import: the libraries of Windows NT 3.51/4.0, with
# libgcc linked in statically (nothing needs libstdc++ or libgcc_eh). WinSock
# and the ICMP library are not among them: the product loads those by their
# full path when a check needs them. Linked stripped (-s), and without auto-import: every import is declared as one, so
# no pseudo relocation waits for start-up code the binaries do not run.
set(CVN_NT_LINK_OPTIONS
    -static -nodefaultlibs -Os -flto -s -Wl,--gc-sections -Wl,--disable-auto-import
    -Wl,--major-os-version,3 -Wl,--minor-os-version,51
    -Wl,--major-subsystem-version,3 -Wl,--minor-subsystem-version,51)
set(CVN_NT_LIBRARIES
    -Wl,--start-group
    -lmingw32 -lgcc -lmingwex -lmoldname -lmsvcrt
    -lkernel32 -ladvapi32 -luser32 -lversion
    -Wl,--end-group)

# Reproducible binaries: the linker stamps the PE header and the exports with
# SOURCE_DATE_EPOCH instead of the time of the build: the environment's, else
# the time of the last commit, else 0. Nothing else in them depends on when or
# where they are built (no debug information, no file names).
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(CVN_SOURCE_DATE_EPOCH $ENV{SOURCE_DATE_EPOCH})
else()
  execute_process(COMMAND git log -1 --format=%ct
                  WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
                  OUTPUT_VARIABLE CVN_SOURCE_DATE_EPOCH
                  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(NOT CVN_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
    set(CVN_SOURCE_DATE_EPOCH 0)
  endif()
endif()

function(cvn_nt_binary target)
  target_compile_options(${target} PRIVATE ${CVN_NT_COMPILE_OPTIONS})
  target_link_options(${target} PRIVATE ${CVN_NT_LINK_OPTIONS})
  set_target_properties(${target} PROPERTIES CXX_LINKER_LAUNCHER
    "${CMAKE_COMMAND};-E;env;SOURCE_DATE_EPOCH=${CVN_SOURCE_DATE_EPOCH}")
  target_link_libraries(${target} PRIVATE cvn_product ${CVN_NT_LIBRARIES})
endfunction()

# The DLL starts at its own entry point (platform/win32/dll_entry.cpp), without
# the C runtime's start-up objects.
add_library(CVNUNIST SHARED ${CMAKE_SOURCE_DIR}/resources/cvnunist.def
                            ${CMAKE_SOURCE_DIR}/platform/win32/dll_entry.cpp)
set_target_properties(CVNUNIST PROPERTIES PREFIX "" OUTPUT_NAME CVNUNIST SUFFIX ".dll"
                                          LINKER_LANGUAGE CXX)
cvn_resources(CVNUNIST ${CMAKE_SOURCE_DIR}/resources/cvnunist.rc)
cvn_nt_binary(CVNUNIST)
target_link_options(CVNUNIST PRIVATE -nostartfiles -Wl,-e,_CvnDllEntry@12)
cvn_warnings(CVNUNIST)

# cvncheck.exe likewise (platform/win32/console_entry.c).
add_executable(cvncheck ${CMAKE_SOURCE_DIR}/hosts/cvncheck.cpp
                        ${CMAKE_SOURCE_DIR}/platform/win32/console_entry.c)
cvn_resources(cvncheck ${CMAKE_SOURCE_DIR}/hosts/cvncheck.rc)
cvn_nt_binary(cvncheck)
target_link_options(cvncheck PRIVATE -nostartfiles -Wl,-e,_CvnConsoleEntry)
cvn_warnings(cvncheck)

# ---- Import libraries of the developer kit ------------------------------------------
# Callers link the exports under their plain names, the WINAPI hooks too: the
# hooks keep their decorated symbols (_UninstInitialize@12) for the caller's
# compiler, and --kill-at / -k bind them to the undecorated export. The module
# definition is the DLL's own with each "Name = Name@n" turned into "Name@n".
# libcvnunist.a for MinGW (binutils), cvnunist.lib for the Microsoft linker
# (llvm-dlltool writes the short import members that linker's own tools do).
# dlltool names symbols after the output path and its temporary files after
# the process: a bare file name and a fixed prefix keep the MinGW archive the
# same wherever and whenever it is built.
find_program(CVN_LLVM_DLLTOOL llvm-dlltool REQUIRED)
set(CVN_KIT_LIB_DIR ${CMAKE_BINARY_DIR}/kit/lib)
file(MAKE_DIRECTORY ${CVN_KIT_LIB_DIR})
set(CVN_KIT_DEF ${CVN_GENERATED}/cvnunist_import.def)
file(STRINGS ${CMAKE_SOURCE_DIR}/resources/cvnunist.def CVN_DEF_LINES REGEX "^[^;]")
list(TRANSFORM CVN_DEF_LINES REPLACE "^([A-Za-z_][A-Za-z0-9_]*) = [A-Za-z_][A-Za-z0-9_]*(@[0-9]+)$"
     "\\1\\2")
list(JOIN CVN_DEF_LINES "\n" CVN_DEF_TEXT)
file(CONFIGURE OUTPUT ${CVN_KIT_DEF} CONTENT "${CVN_DEF_TEXT}\n" @ONLY)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${CMAKE_SOURCE_DIR}/resources/cvnunist.def)
add_custom_command(
  OUTPUT ${CVN_KIT_LIB_DIR}/libcvnunist.a ${CVN_KIT_LIB_DIR}/cvnunist.lib
  COMMAND ${CMAKE_DLLTOOL} --kill-at --temp-prefix cvnunist -d ${CVN_KIT_DEF} -l libcvnunist.a
  COMMAND ${CVN_LLVM_DLLTOOL} -m i386 -k -d ${CVN_KIT_DEF} -l cvnunist.lib
  DEPENDS ${CVN_KIT_DEF}
  WORKING_DIRECTORY ${CVN_KIT_LIB_DIR}
  COMMENT "Import libraries of CVNUNIST.dll for the developer kit")
add_custom_target(cvn_kit_implibs ALL DEPENDS ${CVN_KIT_LIB_DIR}/libcvnunist.a
                                              ${CVN_KIT_LIB_DIR}/cvnunist.lib)

# ---- Wine tests -----------------------------------------------------------------------
include(cmake/wine_tests.cmake)

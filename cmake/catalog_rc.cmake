# Turns the message catalog (resources/catalog.inc, lines of
# MSG(id, "C string literal")) into a windres STRINGTABLE.
#   cmake -DCATALOG=<catalog.inc> -DOUTPUT=<catalog.rc> -P catalog_rc.cmake
# windres reads C escapes such as \n and \t, but a quote inside a string must be
# written "" and a backslash \\; a C \" would end the string early.
cmake_minimum_required(VERSION 3.21)

file(READ "${CATALOG}" text)
string(REPLACE "\r" "" text "${text}")
if(NOT text MATCHES "\n$")
  string(APPEND text "\n")
endif()

# Escapes are read left to right, so hide every \\ before rewriting \".
string(ASCII 1 hidden)
string(REPLACE "\\\\" "${hidden}" text "${text}")
string(REPLACE "\\\"" "\"\"" text "${text}")
string(REPLACE "${hidden}" "\\\\" text "${text}")

string(REGEX MATCHALL "MSG\\([0-9]+, \"[^\n]*\"\\)\n" entries "${text}")
list(LENGTH entries count)
string(REGEX REPLACE "MSG\\(([0-9]+), (\"[^\n]*\")\\)\n" "  \\1, \\2\n" table "${text}")
if(table MATCHES "MSG\\(")
  message(FATAL_ERROR "${CATALOG}: a line is not of the form MSG(id, \"text\")")
endif()

file(WRITE "${OUTPUT}.tmp"
     "// Generated from resources/catalog.inc by cmake/catalog_rc.cmake; do not edit.\n"
     "// ${count} messages, US English.\n"
     "LANGUAGE 9, 1\n"
     "STRINGTABLE\n"
     "BEGIN\n"
     "${table}"
     "END\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")

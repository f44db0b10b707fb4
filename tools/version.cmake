# Writes the program's version text into OUT at build time: the project's
# version and, in a git checkout, the commit it was built from (with
# "-dirty" when the tree had changes). The file is written only when the
# text changed, so an unchanged tree rebuilds nothing.
#   cmake -DSOURCE_DIR=<tree> -DVERSION=<x.y.z> -DOUT=<file.cpp> -P version.cmake
execute_process(COMMAND git -C "${SOURCE_DIR}" describe --always --dirty --abbrev=10
  OUTPUT_VARIABLE commit OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE failed)
set(text "${VERSION}")
if(failed STREQUAL "0" AND commit MATCHES "^[0-9A-Za-z._-]+$")
  string(APPEND text " (${commit})")
endif()
set(content "// Written at build time by tools/version.cmake.\nextern const char bkm_version[];\nconst char bkm_version[] = \"${text}\";\n")
set(old "")
if(EXISTS "${OUT}")
  file(READ "${OUT}" old)
endif()
if(NOT old STREQUAL content)
  file(WRITE "${OUT}" "${content}")
endif()

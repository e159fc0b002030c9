# Holds the Debian symbols file to the library's export allow-list, so that
# the package's dependencies follow exactly the surface the tests allow.
# -DSYMBOLS=debian/librkdrv1.symbols -DALLOWED=RKDRV.elf.exports
cmake_minimum_required(VERSION 3.25)
foreach(var SYMBOLS ALLOWED)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()

# " name@Base version" rows; the header and "* Field:" rows name no symbol.
file(STRINGS ${SYMBOLS} rows REGEX "^ ")
set(names)
foreach(row IN LISTS rows)
  if(NOT row MATCHES "^ ([^ @]+)@Base [0-9][^ ]*$")
    message(FATAL_ERROR "${SYMBOLS}: not a 'name@Base version' row: '${row}'")
  endif()
  list(APPEND names ${CMAKE_MATCH_1})
endforeach()
file(STRINGS ${ALLOWED} allowed)

set(missing ${allowed})
list(REMOVE_ITEM missing ${names})
set(extra ${names})
list(REMOVE_ITEM extra ${allowed})
if(missing OR extra)
  list(JOIN missing "\n  " missing_text)
  list(JOIN extra "\n  " extra_text)
  message(FATAL_ERROR "${SYMBOLS} differs from ${ALLOWED}\n"
    "allowed, not in the symbols file (add ' NAME@Base VERSION', VERSION the release that adds it):\n  ${missing_text}\n"
    "in the symbols file, not allowed:\n  ${extra_text}")
endif()
list(LENGTH names count)
message(STATUS "${count} symbols, the allow-list exactly")

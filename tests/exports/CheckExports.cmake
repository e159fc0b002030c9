# Holds the names a module exports against an allow-list, so that a new
# export is a decision, not an accident.
# -DMODULE=file -DALLOWED=list -DFORMAT=elf|pe -DTOOL=nm|objdump
foreach(var MODULE ALLOWED FORMAT TOOL)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()

if(FORMAT STREQUAL "elf")
  execute_process(COMMAND ${TOOL} -D --defined-only --format=posix ${MODULE}
    OUTPUT_VARIABLE output RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${TOOL} failed on ${MODULE}")
  endif()
  string(REGEX MATCHALL "[^\n]+" lines "${output}")
  set(names)
  foreach(line IN LISTS lines)
    string(REGEX MATCH "^[^ ]+" name "${line}")
    list(APPEND names ${name})
  endforeach()
else()
  # objdump -p lists the export directory as "[ordinal] name" rows after
  # the "[Ordinal/Name Pointer] Table" heading.
  execute_process(COMMAND ${TOOL} -p ${MODULE} OUTPUT_VARIABLE output RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${TOOL} failed on ${MODULE}")
  endif()
  string(FIND "${output}" "[Ordinal/Name Pointer] Table" start)
  if(start LESS 0)
    message(FATAL_ERROR "${MODULE} has no export table")
  endif()
  string(SUBSTRING "${output}" ${start} -1 output)
  string(REGEX MATCHALL "\n[\t ]+\\[[ 0-9]+\\] [^\n]+" rows "${output}")
  set(names)
  foreach(row IN LISTS rows)
    string(REGEX REPLACE "^\n[\t ]+\\[[ 0-9]+\\] " "" name "${row}")
    list(APPEND names ${name})
  endforeach()
endif()
list(REMOVE_DUPLICATES names)
list(SORT names)

file(STRINGS ${ALLOWED} allowed)
list(SORT allowed)

set(added ${names})
list(REMOVE_ITEM added ${allowed})
set(missing ${allowed})
list(REMOVE_ITEM missing ${names})
if(added OR missing)
  list(JOIN added "\n  " added_text)
  list(JOIN missing "\n  " missing_text)
  message(FATAL_ERROR "${MODULE} exports differ from ${ALLOWED}\n"
    "exported, not allowed:\n  ${added_text}\nallowed, not exported:\n  ${missing_text}\n"
    "Add a new export to the list only when it is part of the public interface.")
endif()
list(LENGTH names count)
message(STATUS "${count} exports, all of them allowed")

# Installs the build into a fresh prefix and runs the installed tool there:
# the demo finds the sample engine in its private folder, and no other
# command ever does.
foreach(var RKTOOL_BUILD_DIR RKTOOL_WORK_DIR RKTOOL_BINDIR RKTOOL_SAMPLEDIR)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()

set(prefix ${RKTOOL_WORK_DIR}/prefix)
file(REMOVE_RECURSE ${RKTOOL_WORK_DIR})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${RKTOOL_BUILD_DIR} --prefix ${prefix}
  OUTPUT_QUIET RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (${result})")
endif()
set(tool ${prefix}/${RKTOOL_BINDIR}/rkdrv${RKTOOL_EXE_SUFFIX})

foreach(name RKDRVCL RKDRVRD)
  file(GLOB found ${prefix}/${RKTOOL_BINDIR}/*${name}* ${prefix}/lib*/*${name}* ${prefix}/lib*/*/*${name}*)
  if(found)
    message(FATAL_ERROR "the sample engine ${name} is installed where engines are searched: ${found}")
  endif()
  file(GLOB found ${prefix}/${RKTOOL_SAMPLEDIR}/*${name}*)
  if(NOT found)
    message(FATAL_ERROR "the sample engine ${name} is not in ${prefix}/${RKTOOL_SAMPLEDIR}")
  endif()
endforeach()

execute_process(COMMAND ${RKTOOL_EMULATOR} ${tool} --engine cl list
  OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE result)
if(NOT result EQUAL 3)
  message(FATAL_ERROR "rkdrv --engine cl list found an engine (exit ${result}):\n${out}${err}")
endif()

execute_process(COMMAND ${RKTOOL_EMULATOR} ${tool} demo --json
  OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the installed rkdrv demo exited ${result}:\n${err}")
endif()
function(expect_json pattern)
  string(JSON value ERROR_VARIABLE error GET "${out}" ${ARGN})
  if(error OR NOT value MATCHES "${pattern}")
    message(FATAL_ERROR "${ARGN}: expected '${pattern}', got '${value}' ${error}\n${out}")
  endif()
endfunction()
expect_json("^RKDRVCL$" list engine module)
expect_json("[/\\\\]rkdrv[/\\\\]sample[/\\\\][^/\\\\]*RKDRVCL" list engine path)
expect_json("^found$" wait wait result)
expect_json("^RKDRVRD$" reload after engine module)
expect_json("[/\\\\]rkdrv[/\\\\]sample[/\\\\][^/\\\\]*RKDRVRD" reload after engine path)
message(STATUS "the installed rkdrv demo ran on the sample engine of its private folder")

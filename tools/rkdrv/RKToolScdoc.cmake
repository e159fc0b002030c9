# scdoc reads the page on stdin and writes roff on stdout.
# -DSCDOC=program -DINPUT=page.scd -DOUTPUT=page.1
execute_process(COMMAND ${SCDOC} INPUT_FILE ${INPUT} OUTPUT_FILE ${OUTPUT}.tmp
  RESULT_VARIABLE result ERROR_VARIABLE error)
if(NOT result EQUAL 0)
  file(REMOVE ${OUTPUT}.tmp)
  message(FATAL_ERROR "scdoc failed on ${INPUT}: ${error}")
endif()
file(RENAME ${OUTPUT}.tmp ${OUTPUT})

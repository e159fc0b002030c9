# Installed with the package, so that engines built elsewhere get the file
# names the loader looks for, exactly as the engines of this tree do.

# Gives a module target the file name of engine <name> ("RKDRVSC"): the
# loader asks for "RKDRVSC.DLL", which is that file on Windows and the
# shared object "libRKDRVSC.so" elsewhere. OUTPUT_NAME alone is not enough:
# MinGW would build "libRKDRVSC.dll", which the loader never finds.
function(rkdrv_set_engine_name target name)
  set_target_properties(${target} PROPERTIES OUTPUT_NAME ${name})
  if(WIN32)
    set_target_properties(${target} PROPERTIES PREFIX "" SUFFIX ".DLL")
  else()
    set_target_properties(${target} PROPERTIES PREFIX "lib" SUFFIX ".so")
  endif()
endfunction()

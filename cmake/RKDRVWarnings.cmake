# Warning and sanitizer flags, and module file names, shared by every target
# of the tree.
function(rkdrv_set_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(RKDRV_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

if(RKDRV_SANITIZE)
  add_compile_options(-fsanitize=${RKDRV_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${RKDRV_SANITIZE})
endif()

# Names a module by its Windows file name: "RKDRVCL" is RKDRVCL.DLL on
# Windows and libRKDRVCL.so elsewhere.
function(rkdrv_set_module_name target name)
  set_target_properties(${target} PROPERTIES OUTPUT_NAME ${name})
  if(WIN32)
    set_target_properties(${target} PROPERTIES PREFIX "" SUFFIX ".DLL")
  endif()
endfunction()

# Warning and sanitizer flags shared by every target of the tree.
function(rkdrv_set_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(RKDRV_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

if(RKDRV_SANITIZE)
  add_compile_options(-fsanitize=${RKDRV_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${RKDRV_SANITIZE})
  # Engines built without type information are ones the library takes (they
  # offer no details); the vptr check reads type information on every call
  # into them and would stop at the first.
  if(RKDRV_SANITIZE MATCHES "undefined")
    add_compile_options(-fno-sanitize=vptr)
    add_link_options(-fno-sanitize=vptr)
  endif()
endif()

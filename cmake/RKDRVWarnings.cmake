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
endif()
